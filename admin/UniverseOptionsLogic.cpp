#include "admin/UniverseOptionsLogic.h"

#include "admin/AdminText.h"
#include "chat/ChatPane.h"
#include "common/Decimal.h"
#include "sdk/Attributes.h"

namespace {

using K = FieldKind;
using G = FieldGate;

constexpr AttributeField kFields[] = {
    {"Minimum browser:", K::Number, kAttrUniverseBrowserMinimum, G::Editor},
    {"Latest browser:", K::Number, kAttrUniverseBrowserRelease, G::Editor},
    {"Beta browser:", K::Number, kAttrUniverseBrowserBeta, G::Editor},
    {"Minimum world:", K::Number, kAttrUniverseWorldMinimum, G::Editor},
    {"Latest world:", K::Number, kAttrUniverseWorldRelease, G::Editor},
    {"Beta world:", K::Number, kAttrUniverseWorldBeta, G::Editor},
    {"Default start world:", K::Text, kAttrUniverseWorldStart, G::Editor, 8},
    {"Universe build:", K::Number, kAttrUniverseBuild, G::Never},
    {"Universe requires registration", K::Check, kAttrUniverseRegistrationRequired, G::Never},
    {"Universe welcome message:", K::MultiLineText, kAttrUniverseWelcomeMessage, G::Editor},
    {"Search Tab URL:", K::Text, kAttrUniverseSearchUrl, G::Editor},
    {"Allow tourists", K::Check, kAttrUniverseAllowTourists, G::Editor},
};

constexpr int kWriteOrder[] = {
    kAttrUniverseBrowserBeta, kAttrUniverseBrowserMinimum, kAttrUniverseBrowserRelease, kAttrUniverseWorldMinimum,
    kAttrUniverseWorldStart,  kAttrUniverseWorldRelease,   kAttrUniverseSearchUrl,      kAttrUniverseWelcomeMessage,
    kAttrUniverseWorldBeta,   kAttrUniverseAllowTourists,
};

constexpr int kAdministrator = 1;

// The text with every line break, LF or CR LF, written as CR LF.
std::string WithCrLf(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

} // namespace

UniverseOptionsLogic::UniverseOptionsLogic(AdminSdk &sdk, AdminPrompt &prompt, ChatLineWriter writeLine,
                                           int loginCitizen)
    : sdk_(sdk), prompt_(prompt), writeLine_(std::move(writeLine)), values_(std::size(kFields)),
      crlf_(std::size(kFields)), administrator_(loginCitizen == kAdministrator) {}

std::span<const AttributeField> UniverseOptionsLogic::Fields() { return kFields; }

const char *UniverseOptionsLogic::Group(std::size_t field) {
    if (field < 6) {
        return "Builds";
    }
    if (kFields[field].attribute == kAttrUniverseRegistrationRequired) {
        return "Fees";
    }
    return "";
}

void UniverseOptionsLogic::Open() {
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const AttributeField &field = kFields[i];
        FieldValue &value = values_[i];
        value = FieldValue{};
        if (field.kind == K::Number) {
            value.text = std::to_string(sdk_.GetInt(field.attribute));
        } else if (field.kind == K::Check) {
            value.checked = sdk_.GetBool(field.attribute);
        } else {
            value.text = sdk_.GetString(field.attribute);
            crlf_[i] = field.kind == K::MultiLineText && value.text.find("\r\n") != std::string::npos;
        }
    }
}

bool UniverseOptionsLogic::FieldEnabled(std::size_t field) const {
    return field < std::size(kFields) && GateOpen(kFields[field].gate, administrator_, 0);
}

std::size_t UniverseOptionsLogic::LineBreakSize(std::size_t field) const {
    return field < crlf_.size() && crlf_[field] ? 2 : 1;
}

bool UniverseOptionsLogic::Ok(const std::vector<FieldValue> &edits) {
    if (!administrator_ || edits.size() != std::size(kFields)) {
        return false;
    }
    std::vector<FieldValue> controls = edits;
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if (crlf_[i]) {
            controls[i].text = WithCrLf(controls[i].text);
        }
    }
    // A text that cannot be sent is said before the question: answering it would be for nothing.
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const AttributeField &field = kFields[i];
        if (field.kind == K::Text || field.kind == K::MultiLineText) {
            if (const auto message = TooLongMessage(field.label, field.attribute, controls[i].text)) {
                prompt_.ShowError(UniverseOptionsText::Title, *message);
                return false;
            }
        }
    }
    if (!prompt_.AskYesNo(UniverseOptionsText::Title, UniverseOptionsText::Caution)) {
        return false;
    }
    int written = 0;
    for (const int attribute : kWriteOrder) {
        for (std::size_t i = 0; i < std::size(kFields); ++i) {
            const AttributeField &field = kFields[i];
            if (field.attribute != attribute) {
                continue;
            }
            if (field.kind == K::Number) {
                written |= sdk_.SetInt(attribute, ReadDecimal(controls[i].text));
            } else if (field.kind == K::Check) {
                written |= sdk_.SetBool(attribute, controls[i].checked);
            } else {
                written |= sdk_.SetString(attribute, controls[i].text);
            }
        }
    }
    const int result = written == 0 ? sdk_.UniverseAttributesChange() : written;
    writeLine_(result == 0 ? UniverseOptionsText::Changed : UniverseOptionsText::NotChanged, ChatColour::Red, false,
               false, false, true);
    return true;
}
