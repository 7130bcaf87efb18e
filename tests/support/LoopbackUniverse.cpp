#include "LoopbackUniverse.h"

#include <gtest/gtest.h>

ServerOptions UniverseSetup::QuickOptions() {
    ServerOptions options;
    options.port = 0;
    options.passwordIterations = 1;
    return options;
}

void LoopbackUniverse::Start(UniverseSetup setup) {
    setup_ = std::move(setup);
    server_ = std::make_unique<UniverseServer>(setup_.options);
    ASSERT_TRUE(server_->Start()) << server_->LastError();
    // A restart must find the bot's universe where it left it.
    setup_.options.port = server_->Port();
    for (const UniverseSetup::Citizen &c : setup_.citizens) {
        ASSERT_TRUE(server_->AddCitizen(c.number, c.name, c.password, c.homePage)) << c.name;
    }
    for (const UniverseSetup::World &w : setup_.worlds) {
        ASSERT_TRUE(server_->AddWorld(w.name, w.build)) << w.name;
        if (!w.caretakers.empty()) {
            ASSERT_TRUE(server_->SetWorld(w.name, "caretakers", w.caretakers)) << w.name;
        }
    }
}

void LoopbackUniverse::Restart() {
    server_.reset();
    server_ = std::make_unique<UniverseServer>(setup_.options);
    ASSERT_TRUE(server_->Start()) << server_->LastError();
}

void LoopbackUniverse::Stop() {
    if (server_) {
        server_->Stop();
    }
}

std::string LoopbackUniverse::Address() const { return "127.0.0.1:" + std::to_string(setup_.options.port); }

LoginValues LoopbackUniverse::BotLogin() const {
    LoginValues login;
    if (!setup_.citizens.empty()) {
        login.citizen = setup_.citizens.front().number;
        login.privilegePassword = setup_.citizens.front().password;
    }
    login.botName = "Tester";
    if (!setup_.worlds.empty()) {
        login.world = setup_.worlds.front().name;
    }
    login.universeHost = "127.0.0.1";
    login.universePort = setup_.options.port;
    return login;
}

std::vector<std::string> LoopbackUniverse::Arguments(const LoginValues &login) {
    return {"--citizen",  std::to_string(login.citizen),
            "--password", login.privilegePassword,
            "--bot",      login.botName,
            "--world",    login.world,
            "--universe", login.universeHost + ":" + std::to_string(login.universePort)};
}

int LoopbackUniverse::Arrive(const std::string &name, int citizen) const {
    PersonSpec person;
    person.name = name;
    person.citizen = citizen;
    person.privilege = citizen;
    return server_->AddPerson(setup_.worlds.front().name, person);
}
