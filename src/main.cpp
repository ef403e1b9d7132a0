// The windows are being built; until then the program only lays out its folder.
int main() { return 0; }
