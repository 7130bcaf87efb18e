#include "app/ui/GabblerApp.h"

#include "app/Commands.h"
#include "app/Session.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Pictures.h"
#include "app/ui/SettingsDialog.h"
#include "app/ui/Sound.h"
#include "chat/ChatPane.h"
#include "chat/WorldList.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/WorldListView.h"
#include "login/ui/LoginDialog.h"
#include "mail/ui/FeedbackDialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

#include <ctime>

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The manual and the release notes are shipped in the doc folder beside the executable.
void OpenDocument(const char *name) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/doc/") + QLatin1String(name)));
}

} // namespace

GabblerApp::GabblerApp(std::string home, Settings settings) : home_(std::move(home)), settings_(std::move(settings)) {
    chat_ = std::make_unique<ChatPane>(static_cast<std::size_t>(settings_.scrollbackLines));
    window_ = std::make_unique<MainWindow>(*chat_, settings_);
    session_ = std::make_unique<Session>(*window_, *chat_, settings_);
    sound_ = std::make_unique<Sound>();
    window_->onPlaySound = [this](const std::string &path) { sound_->Play(path); };
    window_->onSend = [this] { session_->Send(); };
    window_->onClosed = [this] { Shutdown(); };

    worldList_ = std::make_unique<WorldList>();
    worldsView_ = new WorldListView(*worldList_, &Pictures::WorldIcon);
    worldsView_->onWorldClicked = [this](const std::string &world) {
        session_->SetWorldToEnter(world);
        session_->EnterWorld();
    };
    window_->SetWorldsList(worldsView_);
    session_->onWorldListComplete = [this] {
        worldList_->Rebuild(session_->Worlds(), settings_.dontShowEmptyWorlds, settings_.dontShowPrivateWorlds);
        worldsView_->Refresh();
    };

    window_->SetCommandAction(Command::Settings, [this] { OpenSettings(); });
    window_->SetCommandAction(Command::ClearBuffer, [this] { ClearBuffer(); });
    window_->SetCommandAction(Command::SaveLog, [this] { SaveLog(); });
    window_->SetCommandAction(Command::Feedback, [this] { OpenFeedback(); });
    window_->SetCommandAction(Command::Contents, [] { OpenDocument("manual.html"); });
    window_->SetCommandAction(Command::ReleaseNotes, [] { OpenDocument("gbreadme.txt"); });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window_.get());
    QObject::connect(escape, &QShortcut::activated, window_.get(), &QWidget::close);

    pump_.setInterval(200);
    QObject::connect(&pump_, &QTimer::timeout, [this] { session_->Pump(); });
    worldListTimer_.setInterval(30000);
    QObject::connect(&worldListTimer_, &QTimer::timeout, [this] { session_->RequestWorldList(); });
    clock_.setInterval(1000);
    QObject::connect(&clock_, &QTimer::timeout,
                     [this] { window_->SetClockText(Q(session_->ClockText(std::time(nullptr)))); });
}

GabblerApp::~GabblerApp() { Shutdown(); }

void GabblerApp::Run(const std::optional<LoginValues> &fromCommandLine) {
    // The timers run from the window's creation, whether or not a bot gets logged in.
    pump_.start();
    worldListTimer_.start();
    clock_.start();
    LoginValues values;
    if (fromCommandLine) {
        values = *fromCommandLine;
    } else {
        LoginDialog dialog(File("profiles.txt"),
                           QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(), window_.get());
        dialog.exec();
        values = dialog.Values().value_or(LoginValues{});
    }
    window_->SetAlwaysOnTop(settings_.AlwaysOnTopActive());
    window_->show();
    window_->setMinimumSize(window_->size());
    session_->SetLoginValues(values);
    session_->StartBot();
}

void GabblerApp::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    pump_.stop();
    worldListTimer_.stop();
    clock_.stop();
    session_->Shutdown();
    // A settings file that cannot be written is not worth a message at exit; the next run takes the defaults.
    settings_.Save(File("gabbler.ini"));
}

void GabblerApp::OpenSettings() {
    SettingsDialog dialog(settings_, *window_, window_.get());
    dialog.exec();
}

void GabblerApp::OpenFeedback() {
    const LoginValues &login = session_->Login();
    FeedbackDialogSetup setup;
    setup.sender = FeedbackSender{login.universeHost, login.universePort, login.citizen, session_->OwnerName()};
    setup.relay =
        MailRelay{settings_.feedbackHost, settings_.feedbackPort, settings_.feedbackSender, settings_.feedbackAddress};
    FeedbackDialog dialog(
        setup,
        [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline, bool newline) {
            chat_->AppendChatLine(text, colour, bold, italic, underline, newline);
        },
        window_.get());
    dialog.exec();
}

void GabblerApp::ClearBuffer() {
    const auto answer =
        QMessageBox::question(window_.get(), Q(ChatPaneText::ClearTitle), Q(ChatPaneText::ClearQuestion),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        chat_->ClearBuffer();
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
    const FileResult result = chat_->SaveLog(path);
    if (!result.ok) {
        QMessageBox::warning(window_.get(), QStringLiteral("Gabbler"), Q(result.error));
        return;
    }
    QMessageBox::information(window_.get(), Q(ChatPaneText::SavedTitle), Q(ChatPane::SavedLogMessage(path)));
}
