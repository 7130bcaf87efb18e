#include "admin/EjectionLogic.h"
#include "admin/ui/CitizenLookupDialog.h"
#include "admin/ui/EjectDialog.h"
#include "admin/ui/EjectionDialog.h"
#include "admin/ui/LoadObjectDialog.h"
#include "admin/ui/PlanterDialog.h"
#include "admin/ui/SendUrlDialog.h"
#include "admin/ui/TeleportUserDialog.h"
#include "admin/ui/UniverseOptionsDialog.h"
#include "admin/ui/WorldFeaturesDialog.h"
#include "admin/ui/WorldRightsDialog.h"
#include "app/Commands.h"
#include "app/Session.h"
#include "app/SessionActions.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/MainWindow.h"
#include "app/ui/SettingsDialog.h"
#include "app/ui/WindowOutputs.h"
#include "automation/RuleEngine.h"
#include "automation/RulesFile.h"
#include "automation/ui/RulesWindow.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/People.h"
#include "chat/PeopleMenu.h"
#include "chat/ui/ChatView.h"
#include "history/ui/SearchHistoryWindow.h"
#include "history/ui/VisitorsWindow.h"
#include "mail/ui/FeedbackDialog.h"
#include "places/Movement.h"
#include "places/ui/ChangeAvatarDialog.h"
#include "places/ui/TeleportDialog.h"
#include "places/ui/TeleportEntryDialogs.h"
#include "places/ui/TeleportListView.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QUrl>

// What the window's menus and the people menu open: the dialogs, the help, the history's windows and the Log
// menu's commands.

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

void GabblerApp::RunPersonCommand(int command) {
    if (GetPeople().RunCommand(command)) {
        return;
    }
    const PersonRef &selected = GetSession().selectedUser;
    const AdminPerson person{selected.name, selected.session};
    const AvatarRecord *record = GetPeople().Roster().Find(selected.session);
    const auto position =
        record ? std::optional<Position>(Position{record->x, record->y, record->z, record->yaw}) : std::nullopt;
    switch (command) {
    case PeopleCommand::Eject:
        RunDialog([&](QWidget *parent) { return std::make_unique<EjectDialog>(adminSdk_, chatLine_, person, parent); });
        break;
    case PeopleCommand::SendUrl:
        RunDialog([&](QWidget *parent) { return std::make_unique<SendUrlDialog>(adminSdk_, person, parent); });
        break;
    case PeopleCommand::TeleportUser:
        RunDialog([&](QWidget *parent) {
            return std::make_unique<TeleportUserDialog>(
                adminSdk_, person, FormatAvatarCoordinates(GetPeople().Roster(), selected.session), parent);
        });
        break;
    case PeopleCommand::CopyAvatar:
        RunCopyAvatar(selected.name, record ? std::optional<int>(record->avatarType) : std::nullopt, placesSdk_,
                      bot_->Avatars(), *placesOutput_);
        break;
    case PeopleCommand::JoinAvatar:
        RunJoinAvatar(position, placesSdk_, *placesOutput_);
        break;
    case PeopleCommand::FaceAvatar:
        RunFaceAvatar(position, placesSdk_);
        break;
    default:
        break;
    }
}

template <typename Make> void GabblerApp::RunDialog(Make make) {
    auto dialog = make(window_.get());
    dialog->exec();
}

void GabblerApp::BuildAdministration() {
    using World = EjectionDatabase;
    window_->SetCommandAction(Command::WorldFeatures, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<WorldFeaturesDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::WorldRights, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<WorldRightsDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::WorldEjections, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<EjectionDialog>(adminSdk_, World::World, parent); });
    });
    window_->SetCommandAction(Command::UniverseOptions, [this] {
        RunDialog([this](QWidget *parent) {
            return std::make_unique<UniverseOptionsDialog>(adminSdk_, chatLine_, GetSession().Login().citizen, parent);
        });
    });
    window_->SetCommandAction(Command::UniverseEjections, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<EjectionDialog>(adminSdk_, World::Universe, parent); });
    });
    window_->SetCommandAction(Command::CitLookup, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<CitizenLookupDialog>(adminSdk_, parent); });
    });
    window_->SetCommandAction(Command::Planter, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<PlanterDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::LoadObject, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<LoadObjectDialog>(adminSdk_, chatLine_, parent); });
    });
}

std::optional<TeleportTarget> GabblerApp::AskTeleport() {
    TeleportDialog dialog(SdkGetString(kAttrWorldName), ReadBotPosition(placesSdk_), window_.get());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Target();
}

void GabblerApp::OpenTeleport() {
    if (const auto target = AskTeleport()) {
        const Position &p = target->position;
        GetSession().EnterWorldAt(target->world, p.z, p.x, p.y, p.yaw);
    }
}

void GabblerApp::RememberPlace() {
    RememberLocationDialog dialog(window_.get());
    if (dialog.exec() == QDialog::Accepted) {
        teleportModel_->Remember(SdkGetString(kAttrWorldName), ReadBotPosition(placesSdk_), dialog.Name());
    }
}

void GabblerApp::ChangeAvatar() {
    ChangeAvatarDialog dialog(SdkGetInt(kAttrMyType), window_.get());
    if (dialog.exec() == QDialog::Accepted) {
        RunChangeAvatar(dialog.AvatarNumber(), placesSdk_, bot_->Avatars(), *placesOutput_);
    }
}

void GabblerApp::ShowDocument(const char *name) {
    ShowDocumentFile(docFolder_ + QLatin1Char('/') + QLatin1String(name));
}

HelpWindow *GabblerApp::Help() const { return help_; }

void GabblerApp::SetDocumentFolder(const QString &folder) {
    docFolder_ = folder;
    window_->manualAddress = QUrl::fromLocalFile(folder + QStringLiteral("/manual.html"));
}

bool GabblerApp::ShowDocumentFile(const QString &path) {
    if (!help_) {
        help_ = new HelpWindow(window_.get());
    }
    return help_->ShowDocument(path);
}

bool GabblerApp::OpenLink(const QUrl &address) {
    return address.isLocalFile() ? ShowDocumentFile(address.toLocalFile()) : OpenWebAddress(address, window_.get());
}

namespace {

void BringForward(QWidget *window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

SearchHistoryWindow *GabblerApp::OpenSearchHistory() {
    if (!searchHistory_) {
        searchHistory_ = new SearchHistoryWindow(bot_->Home(), window_.get());
        searchHistory_->deleted = [this](const std::vector<DeletedLines> &lines) { Chat().HistoryDeleted(lines); };
    }
    BringForward(searchHistory_);
    searchHistory_->QueryBox()->setFocus();
    searchHistory_->QueryBox()->selectAll();
    return searchHistory_;
}

VisitorsWindow *GabblerApp::OpenVisitors() {
    const bool first = !visitors_;
    if (first)
        visitors_ = new VisitorsWindow(bot_->Home(), window_.get());
    BringForward(visitors_);
    if (first)
        visitors_->Refresh();
    return visitors_;
}

RulesWindow *GabblerApp::OpenRules() {
    // Attached or not since it was made: made anew.
    const bool elsewhere = !bot_->AutomationOn();
    if (rules_ && rules_->RulesElsewhere() != elsewhere) {
        delete rules_;
        rules_ = nullptr;
    }
    if (!rules_) {
        // Through bot_ at each call: File, Login... builds the bot anew under the same window.
        RuleTrial trial{[this](const Rule &rule, const BotEvent &sample) { return bot_->Rules().Try(rule, sample); },
                        [this] { return bot_->Actions().World(); }, [this] { return bot_->Actions().WorldBuild(); }};
        rules_ = new RulesWindow(
            bot_->File(kRulesFileName), std::move(trial), [this] { bot_->ReloadRules(); }, window_.get());
        if (elsewhere) {
            rules_->ShowRulesElsewhere(QStringLiteral(
                "This window is attached to a bot that runs elsewhere: the rules and scripts that act are that "
                "bot's, and they are edited on its machine, in rules.txt and scripts/ of its data folder. While "
                "attached, this window runs none of its own."));
        }
    } else {
        rules_->Refresh();
    }
    BringForward(rules_);
    rules_->List()->setFocus();
    return rules_;
}

void GabblerApp::OpenSettings() {
    SettingsDialog dialog(GetSettings(), *window_, window_.get());
    dialog.exec();
}

void GabblerApp::OpenFeedback() {
    const LoginValues &login = GetSession().Login();
    FeedbackDialogSetup setup;
    setup.sender = FeedbackSender{login.universeHost, login.universePort, login.citizen, GetSession().OwnerName()};
    const Settings &s = GetSettings();
    setup.relay = MailRelay{s.feedbackHost, s.feedbackPort, s.feedbackSender, s.feedbackAddress};
    setup.settingsFile = File("gabbler.ini");
    FeedbackDialog dialog(
        setup,
        [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline, bool newline) {
            Chat().AppendChatLine(text, colour, bold, italic, underline, newline);
        },
        window_.get());
    dialog.exec();
}

void GabblerApp::ClearBuffer() {
    const auto answer =
        QMessageBox::question(window_.get(), Q(ChatPaneText::ClearTitle), Q(ChatPaneText::ClearQuestion),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        Chat().ClearBuffer();
    }
}

void GabblerApp::SaveLog() {
    QFileDialog dialog(window_.get(), Q(ChatPaneText::SaveTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Q(ChatPaneText::SaveFilter));
    dialog.selectFile(Q(ChatPaneText::SaveFileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().front().toStdString();
    const QFont font = window_->Chat()->font();
    const FileResult result = Chat().SaveLog(path, RtfFont{font.family().toStdString(), font.pointSize()});
    if (!result.ok) {
        QMessageBox::warning(window_.get(), QStringLiteral("Gabbler"), Q(result.error));
        return;
    }
    QMessageBox::information(window_.get(), Q(ChatPaneText::SavedTitle), Q(ChatPane::SavedLogMessage(path)));
}
