#pragma once
// A shared library standing in for Qt and friends in the leak-report tests:
// it allocates through the program's operator new and frees its globals in
// its own destructors, which run at exit.

namespace leak_fixture {

// Number of words the library keeps in its global table.
int WordCount();

// Allocates one block inside the library and never frees it.
void LeakOneBlock();

}  // namespace leak_fixture
