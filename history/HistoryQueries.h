#pragma once

// The statements that read and delete lines by their filters, kept apart so that what they cost can be checked
// (their query plans) without a store of millions of lines.

#include <string>

// "SELECT <a line's columns> FROM lines l <its world and speaker names> ": the head of every read of lines.
std::string LineSelect();

// Lines by text and filters: ?1 the full-text expression (fullText only), ?2 world, ?3 speaker, ?4 kind, ?5 from,
// ?6 to (NULL: any), numbers in [?9, ?7), at most ?8 of them, in number order.
std::string FilteredLinesQuery(bool fullText, bool newestFirst);

// The first and last block of line numbers whose times overlap [?1, ?2); NULLs when none does.
extern const char *const kTimeBlocksQuery;

// The lines of [?1, ?2) among the numbers [?3, ?4), and the blocks that held only such lines.
extern const char *const kDeleteLinesQuery;
extern const char *const kDeleteTimeBlocksQuery;
