#pragma once

// World and universe attributes: which a caretaker may change, their defaults, and reading and writing them as
// frame attributes.

#include "protocol/Frame.h"
#include "server/Store.h"

#include <string>

// World attributes a caretaker may change; the rest are the server's (name, build, rights, size, counts).
bool IsWritableWorldAttribute(int n);
// Universe attributes its administrator may change.
bool IsWritableUniverseAttribute(int n);

// Reads a frame attribute into a value of the attribute's kind. 449 for a wrong tag, 450 for a long string.
int ReadAttribute(const WireAttribute &a, AttrValue &out);
void WriteAttribute(FrameWriter &w, int number, const AttrValue &v);
// The text of a string attribute; empty when missing or of another kind.
std::string StringOf(const AttrMap &m, int number);
