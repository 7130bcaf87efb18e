#pragma once

#include "login/LoginValues.h"
#include "login/ProfileStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The six edits of the login dialog as they read.
struct LoginFields {
    std::string citizen;
    std::string privilegePassword;
    std::string botName;
    std::string world;
    std::string coordinates;
    std::string universe; // "host:port"
    bool operator==(const LoginFields &) const = default;
};

// What the login dialog's logic needs from its window.
class LoginView {
public:
    virtual ~LoginView() = default;
    virtual void ShowFields(const LoginFields &fields) = 0;
    // The profile box's entries, in the order shown, and the selected one (-1: none).
    virtual void ShowProfileBox(const std::vector<std::string> &names, int selected) = 0;
    // The six edits, Save Profile and Login; the profile box and Add Profile are always usable.
    virtual void SetFieldsEnabled(bool enabled) = 0;
    // A question with Yes and No and no icon; true for Yes.
    virtual bool AskYesNo(const std::string &question) = 0;
    virtual void ShowError(const std::string &message) = 0;
    // The Add Profile dialog: the name as typed, or nothing on Cancel.
    virtual std::optional<std::string> AskProfileName() = 0;
};

// The login dialog without its widgets. Each user action passes the edits as they read at that moment.
class LoginDialogLogic {
public:
    LoginDialogLogic(LoginView &view, std::string profilesPath);

    // Upgrade mode 0 when the executable is named exactly "gabbler", 2 when only letter case differs, 1 otherwise.
    static int UpgradeModeFor(std::string_view executableName);
    static const char *const kMisnamedExecutable;

    // Checks the executable's name, reads profiles.txt and loads the first profile of the box.
    void Open(std::string_view executableName);
    // The universe a profile added from now on points at (the demo's, while it runs); by default the SDK's on
    // this machine.
    void SetNewProfileUniverse(UniverseAddress universe) { newProfileUniverse_ = std::move(universe); }
    // Any user edit of the six fields.
    void Edited() { changed_ = true; }
    void ChooseProfile(int boxIndex, const LoginFields &controls);
    void SaveProfile(const LoginFields &controls);
    void AddProfile(const LoginFields &controls);
    // Asks to save, writes profiles.txt and gives the values to log in with: the fields as they stand, whatever
    // the answer.
    LoginValues Login(const LoginFields &controls);
    // The window's close box: asks to save and writes profiles.txt. (Escape leaves without either.)
    void CloseBox(const LoginFields &controls);

    int UpgradeMode() const { return upgradeMode_; }
    bool Changed() const { return changed_; }
    int LoadedIndex() const { return loadedIndex_; }
    const std::vector<std::string> &BoxNames() const { return box_; }
    const ProfileStore &Store() const { return store_; }
    bool FieldsEnabled() const { return store_.Count() > 0; }

private:
    void AskToSave(const LoginFields &controls);
    // False, after saying why, when a field cannot be kept in the file.
    bool CopyFields(const LoginFields &controls, LoginProfile &profile);
    void Load(int boxIndex);
    void WriteFile();
    void Leave();

    LoginView &view_;
    std::string path_;
    ProfileStore store_;
    std::vector<std::string> box_; // profile names, sorted as the box shows them
    bool readOk_ = true;
    int upgradeMode_ = 0;
    int loadedIndex_ = -1;
    bool changed_ = false;
    UniverseAddress newProfileUniverse_{kDefaultUniverseHost, 0};
};
