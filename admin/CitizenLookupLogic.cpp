#include "admin/CitizenLookupLogic.h"

#include "admin/AdminText.h"
#include "common/Decimal.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"

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
    sdk_.SetCallbackHandler(kCallbackCitizenResult, guard_.Wrap([this, number](int result) {
        view_.ShowNameAnswer(result == 0 ? FormatText(CitizenLookupText::NameFound, sdk_.GetInt(kAttrCitizenNumber),
                                                      sdk_.GetString(kAttrCitizenName).c_str())
                                         : FormatText(CitizenLookupText::NoSuchNumber, number));
        Finish();
    }));
    // A request refused at once brings no answer; say so and free the buttons instead of waiting for good.
    if (const int refused = sdk_.CitizenByNumber(number)) {
        view_.ShowNameAnswer(FormatText(CitizenLookupText::Refused, ReasonText(refused).c_str()));
        Finish();
        return;
    }
    view_.ShowNameAnswer(CitizenLookupText::LookingUpName);
}

void CitizenLookupLogic::RetrieveNumber(const std::string &name) {
    if (busy_) {
        return;
    }
    Begin();
    sdk_.SetCallbackHandler(kCallbackCitizenResult, guard_.Wrap([this, name](int result) {
        view_.ShowNumberAnswer(result == 0 ? FormatText(CitizenLookupText::NumberFound,
                                                        sdk_.GetString(kAttrCitizenName).c_str(),
                                                        sdk_.GetInt(kAttrCitizenNumber))
                                           : FormatText(CitizenLookupText::NoSuchName, name.c_str()));
        Finish();
    }));
    if (const int refused = sdk_.CitizenByName(name)) {
        view_.ShowNumberAnswer(FormatText(CitizenLookupText::Refused, ReasonText(refused).c_str()));
        Finish();
        return;
    }
    view_.ShowNumberAnswer(CitizenLookupText::LookingUpNumber);
}
