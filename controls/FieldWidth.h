#pragma once

class QLineEdit;

// Makes a line edit wide enough for about `characters` characters of its own font, or for the text it holds, up to
// twice that: a dialog then opens wide enough for what it is about, at any font size or screen scale.
void FitWidthToCharacters(QLineEdit *edit, int characters);
