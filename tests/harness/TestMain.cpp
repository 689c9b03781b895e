#include "Child.h"

int main(int argc, char** argv) { return child::main(argc, argv); }
