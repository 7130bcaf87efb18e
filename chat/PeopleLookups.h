#pragma once

#include "chat/PeopleContext.h"

#include <string>

// Who a person is: the citizen number, the home page and the IP address of the selected person, answered from the
// roster or by the universe later; and the two notices other avatars cause, a click on the bot and a URL sent
// to it. Each answer is one green line without a timestamp.
class PeopleLookups {
public:
    explicit PeopleLookups(PeopleContext &context) : context_(context) {}

    void GetCitNumber();
    void GetHomePage();
    void LookupIp();

    // Event 20.
    void OnAvatarClick();
    // Event 21.
    void OnUrl();

private:
    void RequestCitizen(const std::string &name, bool homePage);

    PeopleContext &context_;
    HandlerGuard guard_;
};
