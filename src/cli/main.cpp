// Entry point placeholder; the real one parses the command line and runs it.
int main() { return 0; }
