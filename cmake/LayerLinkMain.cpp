// The entry point of the layer link checks (cmake/LayerLinkCheck.cmake): never run.
int main() { return 0; }
