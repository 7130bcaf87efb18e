#pragma once

// Marks a descriptor close-on-exec where the library that opened it did not: a browser or player started from the
// program must not inherit a listening port or a connection and keep it open after the program has ended.
void KeepFromChildren(int fd);
