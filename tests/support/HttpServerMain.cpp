// The test server as a program of its own, for benchmarks and for trying a
// client by hand:
//   http_server.exe [--port N] [--file TARGET SIZE [SEED]]... [--quit TARGET]
// Prints "listening on 127.0.0.1:PORT" once it answers; a request for the quit
// target (default /quit) ends it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/HttpServer.h"

int main(int argc, char** argv) {
  mf::test::HttpServer server;
  unsigned long port = 0;
  std::string quit = "/quit";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) {
      port = std::strtoul(argv[++i], nullptr, 10);
    } else if (a == "--file" && i + 2 < argc) {
      std::string target = argv[++i];
      unsigned long long size = std::strtoull(argv[++i], nullptr, 10);
      unsigned long seed = 1;
      if (i + 1 < argc && argv[i + 1][0] != '-') seed = std::strtoul(argv[++i], nullptr, 10);
      // Files are resumable, as real servers' files are: ranges and an ETag.
      std::string etag = "\"";
      etag += std::to_string(seed);
      etag += '-';
      etag += std::to_string(size);
      etag += '"';
      server.Route(target, mf::test::HttpResponse::File(size, static_cast<uint32_t>(seed))
                               .AcceptRanges()
                               .Header("ETag", etag));
    } else if (a == "--quit" && i + 1 < argc) {
      quit = argv[++i];
    } else {
      std::fprintf(
          stderr, "usage: http_server [--port N] [--file TARGET SIZE [SEED]]... [--quit TARGET]\n");
      return 2;
    }
  }
  server.SetQuitTarget(quit);
  if (port > 65535 || !server.Start(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "http_server: cannot listen on port %lu\n", port);
    return 1;
  }
  std::printf("listening on 127.0.0.1:%u\n", server.Port());
  std::fflush(stdout);
  server.WaitStopped(INFINITE);
  server.Stop();
  return 0;
}
