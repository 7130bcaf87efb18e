#include "admin/CitizenLookupLogic.h"

#include "admin/AdminText.h"
#include "common/Decimal.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

namespace {

// A look-up the server never answered says why, instead of "No such citizen".
std::string Unanswered(int result) { return FormatText(CitizenLookupText::Refused, ReasonText(result).c_str()); }

} // namespace

CitizenLookupLogic::CitizenLookupLogic(AdminSdk &sdk, CitizenLookupView &view) : sdk_(sdk), view_(view) {}

void CitizenLookupLogic::Begin() {
    busy_ = true;
    view_.SetButtonsEnabled(false);
}

void CitizenLookupLogic::Finish() {
    sdk_.SetCallbackHandler(kCallbackCitizenResult, nullptr);
    busy_ = false;
    view_.SetButtonsEnabled(true);
}

void CitizenLookupLogic::RetrieveName(const std::string &numberText) {
    if (busy_) {
        return;
    }
    const int number = ReadDecimal(numberText);
    Begin();
    // A failed request (a lost connection, say) may bring no citizen record, so the refusal names the number asked.
    const auto answer = guard_.Wrap([this, number](int result) {
        view_.ShowNameAnswer(result == 0 ? FormatText(CitizenLookupText::NameFound, sdk_.GetInt(kAttrCitizenNumber),
                                                      sdk_.GetString(kAttrCitizenName).c_str())
                             : IsUnanswered(result) ? Unanswered(result)
                                                    : FormatText(CitizenLookupText::NoSuchNumber, number));
        Finish();
    });
    if (sdk_.Request(kCallbackCitizenResult, answer, [this, number] { return sdk_.CitizenByNumber(number); }) == 0) {
        view_.ShowNameAnswer(CitizenLookupText::LookingUpName);
    }
}

void CitizenLookupLogic::RetrieveNumber(const std::string &name) {
    if (busy_) {
        return;
    }
    Begin();
    const auto answer = guard_.Wrap([this, name](int result) {
        view_.ShowNumberAnswer(result == 0            ? FormatText(CitizenLookupText::NumberFound,
                                                                   sdk_.GetString(kAttrCitizenName).c_str(),
                                                                   sdk_.GetInt(kAttrCitizenNumber))
                               : IsUnanswered(result) ? Unanswered(result)
                                                      : FormatText(CitizenLookupText::NoSuchName, name.c_str()));
        Finish();
    });
    if (sdk_.Request(kCallbackCitizenResult, answer, [this, &name] { return sdk_.CitizenByName(name); }) == 0) {
        view_.ShowNumberAnswer(CitizenLookupText::LookingUpNumber);
    }
}
