// tessel_uci: the UCI program (placeholder until the front end lands).
#include <cstdio>
int main() { return 0; }
