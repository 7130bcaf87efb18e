#pragma once

#include <QString>

// Where the manual and the release notes are for a program in programFolder: the doc folder beside it (a build
// folder), else the installed tree's documents folder relative to it (bin/../share/doc/gabbler). When neither holds
// the manual, the one beside the program, so that a message names a sensible place.
QString FindDocumentFolder(const QString &programFolder);
