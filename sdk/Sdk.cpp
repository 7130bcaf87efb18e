#include "sdk/Sdk.h"

#include "sdk/SdkCall.h"

using namespace sdk_internal;

// The instance and its session: start-up, connection, login, entering and leaving worlds; and the tuning.

int SdkInit(int build) {
    if (build != kSdkBuild)
        return kVersionMismatch;
    if (!g_state)
        g_state = std::make_unique<State>();
    return 0;
}

void SdkTerm() {
    if (!g_state)
        return;
    if (g_state->waiting)
        g_retiredStates.push_back(std::move(g_state));
    g_state.reset();
}

int SdkCreate(std::string_view host, int port, int /*reserved*/) {
    if (!g_state)
        return kNotInitialized;
    if (port == 0)
        port = kSdkDefaultPort;
    if (port < 0 || port > 65535)
        return kInvalidPort;
    g_state->RetireInstance();
    auto instance = std::make_unique<Instance>(*g_state);
    const int result = instance->Create(std::string(host), port);
    if (result != 0)
        return result;
    g_state->instance = std::move(instance);
    return 0;
}

int SdkDestroy() {
    if (!g_state)
        return kNotInitialized;
    if (!g_state->instance)
        return kNoInstance;
    g_state->RetireInstance();
    return 0;
}

int SdkLogin() {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    const State &s = *g_state;
    instance->candidateName_ = s.attributes[kAttrLoginName].text;
    instance->candidatePassword_ = s.attributes[kAttrLoginPassword].text;
    instance->candidateApplication_ = s.attributes[kAttrApplication].text;
    instance->candidateCitizen_ = s.attributes[kAttrLoginCitizen].number;
    const int result = instance->Request(MessageType::Login, kNoCallback, [](FrameWriter &w) {
        g_state->WriteAttributes(w, {kAttrLoginName, kAttrLoginCitizen, kAttrLoginPassword, kAttrApplication});
        WriteComputerId(w);
    });
    if (result == 0 && g_state && g_state->instance.get() == instance) {
        instance->loginName_ = instance->candidateName_;
        instance->loginPassword_ = instance->candidatePassword_;
        instance->loginApplication_ = instance->candidateApplication_;
        instance->loginCitizen_ = instance->candidateCitizen_;
    }
    return result;
}

int SdkEnter(std::string_view world) {
    if (!FitsText(world))
        return kStringTooLong;
    const std::string name = Repaired(world);
    return Call(MessageType::Enter, kCallbackEnterResult, [&name](FrameWriter &w) {
        w.String(kFieldWorld, name);
        g_state->WriteAttribute(w, kAttrEnterGlobal);
    });
}

int SdkExit() {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    instance->Exit();
    // While the connection is being restored there is no world to leave; not going back is all it takes.
    if (instance->LinkState() != Link::Connected)
        return 0;
    return instance->Request(MessageType::Exit, kNoCallback, [](FrameWriter &) {});
}

int SdkStateChange() {
    return Call(MessageType::StateChange, kNoCallback, {kAttrMyX, kAttrMyY, kAttrMyZ, kAttrMyYaw, kAttrMyType});
}

int SdkSession() {
    int error = 0;
    const Instance *instance = TheInstance(error);
    return instance ? instance->Session() : 0;
}

void SdkSetTuning(const SdkTuning &tuning) { g_tuning = tuning; }
SdkTuning SdkGetTuning() { return g_tuning; }
