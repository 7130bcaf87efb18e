#pragma once

#include <cstddef>
#include <string>

// Attribute-backed dialogs describe their fields as tables: the widget layer builds one control per row, in
// order, and hands the controls' contents back as FieldValues in the same order.

enum class FieldKind {
    Text,          // an edit shown and written as the string attribute
    MultiLineText, // likewise, in a multi-line edit
    Number,        // a digits-only edit for the integer attribute
    List,          // a drop-down list; the logic gives its entries
    Check,         // a check box for the boolean attribute
    InvertedCheck, // a check box showing the boolean attribute's inverse
};

// Who may change a field: nobody, the user with the rights to change the dialog's attributes (a world's caretaker,
// the universe's first citizen), or that user only when the world server is newer than a build.
enum class FieldGate { Never, Editor, EditorAbove20, EditorAbove38 };

struct AttributeField {
    const char *label;
    FieldKind kind;
    int attribute;
    FieldGate gate;
    std::size_t maxLength = 0; // characters the edit takes; 0 for the attribute's own limit
};

struct FieldValue {
    std::string text;     // Text, MultiLineText, Number
    bool checked = false; // Check, InvertedCheck
    int index = -1;       // List: the selected entry, -1 for none
    bool operator==(const FieldValue &) const = default;
};

// Whether the gate lets an editor of a world of that build change the field.
inline bool GateOpen(FieldGate gate, bool editor, int worldBuild) {
    switch (gate) {
    case FieldGate::Editor:
        return editor;
    case FieldGate::EditorAbove20:
        return editor && worldBuild > 20;
    case FieldGate::EditorAbove38:
        return editor && worldBuild > 38;
    case FieldGate::Never:
        break;
    }
    return false;
}
