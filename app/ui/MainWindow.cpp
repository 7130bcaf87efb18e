#include "app/ui/MainWindow.h"

#include "app/Commands.h"
#include "app/DocumentFolder.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/ui/Pictures.h"
#include "chat/ChatPane.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/PeopleCounter.h"
#include "controls/InputLimit.h"
#include "controls/LinkLabel.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The client area, with the gradient stretched over it when the setting asks for it.
class Backdrop : public QWidget {
public:
    explicit Backdrop(QWidget *parent) : QWidget(parent), gradient_(Pictures::Gradient()) {}
    void SetGradient(bool on) {
        on_ = on;
        // The gradient is light whatever the desktop's colours: the labels drawn straight on it are dark, else a
        // dark palette's light text would vanish into it. Without it the palette's own colours hold.
        for (QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            QPalette palette;
            if (on) {
                palette.setColor(QPalette::WindowText, Qt::black);
            }
            label->setPalette(palette);
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        if (on_) {
            QPainter(this).drawPixmap(rect(), gradient_);
        }
    }

private:
    QPixmap gradient_;
    bool on_ = true;
};

} // namespace

MainWindow::MainWindow(ChatPane &chat, Settings &settings, QWidget *parent)
    : QMainWindow(parent), chat_(chat), settings_(settings) {
    setWindowTitle(QStringLiteral("Gabbler"));
    setWindowIcon(Pictures::AppIcon());
    BuildMenus();
    BuildStepKeys();
    BuildControls();
    SetChatBackground(settings_.chatBox);
    SetChatFont(settings_.enableFonts ? &settings_.font : nullptr);
    SetChatStaysWhereScrolled(settings_.stayWhereScrolled);
    ApplyChatFilter();
    RepaintBackdrop();
    resize(800, 520);
}

MainWindow::~MainWindow() = default;

QAction *MainWindow::AddCommand(QMenu *menu, int command, const QString &caption) {
    auto *action = menu->addAction(caption);
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, [this, command] {
        if (const auto found = commandActions_.find(command); found != commandActions_.end() && found->second) {
            found->second();
        }
    });
    actions_[command] = action;
    return action;
}

void MainWindow::AddChatFilter(QMenu *menu, int command, const QString &caption, bool Settings::*flag) {
    // A view of the pane, not a command on the world: always available, remembered in the settings.
    auto *action = menu->addAction(caption);
    action->setCheckable(true);
    action->setChecked(settings_.*flag);
    connect(action, &QAction::toggled, this, [this, flag](bool on) {
        settings_.*flag = on;
        ApplyChatFilter();
    });
    actions_[command] = action;
}

void MainWindow::ApplyChatFilter() {
    if (!chatView_) {
        return; // the menus come first; the pane takes the filter when it is made
    }
    ChatLineFilter filter;
    filter.hide = (settings_.hideAutoAnswers ? ChatLineFlag::AutoAnswer : 0) |
                  (settings_.hideEnterExit ? ChatLineFlag::EnterExit : 0);
    filter.only = settings_.onlyWhispers ? ChatLineFlag::Whisper : 0;
    chatView_->SetFilter(filter);
}

void MainWindow::BuildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, Command::Login, QStringLiteral("&Login..."));
    file->addSeparator();
    AddCommand(file, Command::Exit, QStringLiteral("E&xit"));

    QMenu *teleport = menuBar()->addMenu(QStringLiteral("&Teleport"));
    AddCommand(teleport, Command::Teleport, QStringLiteral("&Teleport"));
    QMenu *quick = teleport->addMenu(QStringLiteral("&Quick Move"));
    // The captions name the step keys already; the keys themselves are the window's (BuildStepKeys), so the menu
    // does not show them a second time.
    AddCommand(quick, Command::MoveNorth, QStringLiteral("5 meters north (Ctrl + N)"));
    AddCommand(quick, Command::MoveSouth, QStringLiteral("5 meters south (Ctrl + S)"));
    AddCommand(quick, Command::MoveWest, QStringLiteral("5 meters west (Ctrl + W)"));
    AddCommand(quick, Command::MoveEast, QStringLiteral("5 meters east (Ctrl + E)"));
    AddCommand(quick, Command::MoveUp, QStringLiteral("5 meters up (Ctrl + U)"));
    AddCommand(quick, Command::MoveDown, QStringLiteral("5 meters down (Ctrl + D)"));
    quick->addSeparator();
    AddCommand(quick, Command::FaceNorth, QStringLiteral("Face north"));
    AddCommand(quick, Command::FaceSouth, QStringLiteral("Face south"));
    AddCommand(quick, Command::FaceWest, QStringLiteral("Face west"));
    AddCommand(quick, Command::FaceEast, QStringLiteral("Face east"));
    AddCommand(teleport, Command::Remember, QStringLiteral("&Remember"));

    QMenu *feedback = menuBar()->addMenu(QStringLiteral("F&eedback"));
    AddCommand(feedback, Command::Feedback, QStringLiteral("&Send Bug Report/Suggestion"));

    QMenu *log = menuBar()->addMenu(QStringLiteral("&Log"));
    AddCommand(log, Command::SaveLog, QStringLiteral("Sa&ve Log"));
    AddCommand(log, Command::ClearBuffer, QStringLiteral("C&lear Buffer"));
    log->addSeparator();
    AddChatFilter(log, Command::HideAutoAnswers, QStringLiteral("Hide &Owner and Version Answers"),
                  &Settings::hideAutoAnswers);
    AddChatFilter(log, Command::OnlyWhispers, QStringLiteral("Show Only &Whispers"), &Settings::onlyWhispers);
    AddChatFilter(log, Command::HideEnterExit, QStringLiteral("Hide &Arrivals and Departures"),
                  &Settings::hideEnterExit);
    log->addSeparator();
    AddCommand(log, Command::SearchHistory, QStringLiteral("Search &History..."))->setShortcut(QKeySequence::Find);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    AddCommand(options, Command::Settings, QStringLiteral("&Settings"));
    AddCommand(options, Command::Rules, QStringLiteral("&Rules..."));
    QMenu *world = options->addMenu(QStringLiteral("&World"));
    AddCommand(world, Command::WorldFeatures, QStringLiteral("&Features"));
    AddCommand(world, Command::WorldRights, QStringLiteral("&Rights"));
    AddCommand(world, Command::WorldEjections, QStringLiteral("&Ejections"));
    QMenu *universe = options->addMenu(QStringLiteral("&Universe"));
    AddCommand(universe, Command::UniverseOptions, QStringLiteral("&Options"));
    AddCommand(universe, Command::UniverseEjections, QStringLiteral("&Ejections"));

    QMenu *utilities = menuBar()->addMenu(QStringLiteral("&Utilities"));
    AddCommand(utilities, Command::CitLookup, QStringLiteral("&Cit Lookup"));
    AddCommand(utilities, Command::ChangeAvatar, QStringLiteral("C&hange Avatar"));
    AddCommand(utilities, Command::Planter, QStringLiteral("Plant&er"));
    AddCommand(utilities, Command::LoadObject, QStringLiteral("&Load Object"));
    AddCommand(utilities, Command::Visitors, QStringLiteral("&Visitors..."));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, Command::Contents, QStringLiteral("&Contents"));
    AddCommand(help, Command::ReleaseNotes, QStringLiteral("&Release Notes"));
    help->addSeparator();
    AddCommand(help, Command::About, QStringLiteral("&About..."));

    // Always available: they need no bot in a world.
    SetCommandAction(Command::Exit, [this] {
        exiting_ = true; // past the tray, whatever closing to it says
        close();
    });
    SetCommandAction(Command::About, [this] { ShowAbout(); });
}

const std::array<MainWindow::StepKey, 6> MainWindow::kStepKeys = {{
    {Command::MoveNorth, Qt::CTRL | Qt::Key_N},
    {Command::MoveSouth, Qt::CTRL | Qt::Key_S},
    {Command::MoveWest, Qt::CTRL | Qt::Key_W},
    {Command::MoveEast, Qt::CTRL | Qt::Key_E},
    {Command::MoveUp, Qt::CTRL | Qt::Key_U},
    {Command::MoveDown, Qt::CTRL | Qt::Key_D},
}};

void MainWindow::BuildStepKeys() {
    // The keys act in this window only, whichever of its widgets has the focus; the avatar map window's keys are
    // its own, and a dialog's are the dialog's.
    for (const StepKey &step : kStepKeys) {
        auto *key = new QAction(this);
        key->setShortcut(QKeySequence(step.keys));
        key->setShortcutContext(Qt::WindowShortcut);
        connect(key, &QAction::triggered, this, [this, command = step.command] {
            if (QAction *item = CommandAction(command); item && item->isEnabled()) {
                item->trigger();
            }
        });
        addAction(key);
    }
    // The say and whisper boxes would take Ctrl+E, Ctrl+U, Ctrl+D and others for their own editing (end of line,
    // delete line, ...): while a step is offered, its key moves the bot instead.
    QCoreApplication::instance()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyRelease) &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        // A drop-down closes itself while the key is still being matched against shortcuts, so the key press that
        // follows finds no popup and would reach this window: remember that the key belonged to a popup until
        // it is released.
        if (event->type() == QEvent::KeyRelease) {
            escapeForPopup_ = false;
        } else if (QApplication::activePopupWidget()) {
            escapeForPopup_ = true;
        }
    }
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeyCombination pressed = key->keyCombination();
        for (const StepKey &step : kStepKeys) {
            if (pressed == step.keys) {
                const QAction *item = CommandAction(step.command);
                if (item && item->isEnabled()) {
                    return true; // not accepted: the shortcut gets the key
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent *event) {
    // Escape that no widget of the window took closes it. A popup (a drop-down, a menu, a completion list) keeps
    // its own Escape, which closes only the popup.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!escapeForPopup_) {
            close();
        }
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::BuildControls() {
    auto *backdrop = new Backdrop(this);
    setCentralWidget(backdrop);

    chatView_ = new ChatView(chat_, backdrop);
    initialChatFont_ = chatView_->font();
    tabs_ = new QTabWidget(backdrop);
    tabs_->setUsesScrollButtons(false);
    for (int tab = 0; tab < 3; ++tab) {
        static const char *const kTitles[] = {"Users", "Worlds", "Teleports"};
        auto *page = new QWidget(tabs_);
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        tabs_->addTab(page, Pictures::TabIcon(tab), QString::fromLatin1(kTitles[tab]));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (onTab) {
            onTab(tab);
        }
    });

    userCounter_ = new PeopleCounter(QStringLiteral("Users"), backdrop);
    botCounter_ = new PeopleCounter(QStringLiteral("Bots"), backdrop);
    clock_ = new QLabel(Q(ChatPaneText::ClockInitial), backdrop);
    rights_ = new QComboBox(backdrop);
    rights_->setEnabled(false);
    whisperLabel_ = new QLabel(QStringLiteral("Select a name from the userlist."), backdrop);
    whisperLabel_->setWordWrap(true);
    showMap_ = new QPushButton(QStringLiteral("Show Avatar Map"), backdrop);
    hideMap_ = new QPushButton(QStringLiteral("Hide Avatar Map"), backdrop);
    showMap_->setEnabled(false);
    hideMap_->setEnabled(false);
    sayBox_ = new QLineEdit(backdrop);
    whisperBox_ = new QLineEdit(backdrop);
    // A line goes out as at most 255 bytes of UTF-8: the boxes count what will be sent, so typing stops at the
    // limit and a longer paste is refused whole with a message, instead of the text being cut on its way out.
    InputLimit::Attach(sayBox_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes}, QStringLiteral("Say"));
    InputLimit::Attach(whisperBox_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes},
                       QStringLiteral("Whisper"));
    sayBox_->setEnabled(false);
    whisperBox_->setEnabled(false);
    sayBox_->setPlaceholderText(QStringLiteral("Say"));
    whisperBox_->setPlaceholderText(QStringLiteral("Whisper"));
    sendButton_ = new QPushButton(backdrop);
    // The word in the button's own text colour, so a dark desktop's dark button still shows it.
    const QPixmap face = Pictures::SendButton(sendButton_->palette().color(QPalette::ButtonText));
    sendButton_->setIcon(QIcon(face));
    sendButton_->setIconSize(face.deviceIndependentSize().toSize());
    sendButton_->setToolTip(QStringLiteral("SEND"));
    sendButton_->setAccessibleName(QStringLiteral("SEND"));
    sendButton_->setDefault(true);

    const auto send = [this] {
        if (onSend) {
            onSend();
        }
    };
    connect(sendButton_, &QPushButton::clicked, this, send);
    connect(sayBox_, &QLineEdit::returnPressed, this, send);
    connect(whisperBox_, &QLineEdit::returnPressed, this, send);
    connect(showMap_, &QPushButton::clicked, this, [this] { ShowAvatarMap(true); });
    connect(hideMap_, &QPushButton::clicked, this, [this] { ShowAvatarMap(false); });

    // The chat pane grows both ways; the lists grow down; the small controls keep to the bottom and the boxes
    // grow to the right, with SEND and Hide Avatar Map in the bottom-right corner.
    auto *counters = new QHBoxLayout;
    counters->addWidget(userCounter_);
    counters->addWidget(botCounter_);
    auto *left = new QVBoxLayout;
    left->addWidget(tabs_, 1);
    left->addLayout(counters);
    left->addWidget(clock_);
    left->addWidget(rights_);
    left->addWidget(whisperLabel_);
    left->addWidget(showMap_);
    auto *boxes = new QGridLayout;
    boxes->addWidget(sayBox_, 0, 0);
    boxes->addWidget(hideMap_, 0, 1);
    boxes->addWidget(whisperBox_, 1, 0);
    boxes->addWidget(sendButton_, 1, 1);
    boxes->setColumnStretch(0, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(chatView_, 1);
    right->addLayout(boxes);
    auto *columns = new QHBoxLayout(backdrop);
    columns->setContentsMargins(6, 6, 6, 6);
    columns->addLayout(left);
    columns->addLayout(right, 1);
    // The left column keeps the width it starts with; only the chat pane and the boxes take up new width.
    const int leftWidth = std::max(tabs_->sizeHint().width(), 250);
    for (QWidget *widget : std::initializer_list<QWidget *>{tabs_, clock_, rights_, whisperLabel_, showMap_}) {
        widget->setFixedWidth(leftWidth);
    }
    userCounter_->setFixedWidth((leftWidth - counters->spacing()) / 2);
    botCounter_->setFixedWidth(leftWidth - counters->spacing() - (leftWidth - counters->spacing()) / 2);
}

void MainWindow::SetCommandAction(int command, std::function<void()> action) {
    commandActions_[command] = std::move(action);
    if (QAction *item = CommandAction(command)) {
        const bool always = command == Command::Exit || command == Command::About || command == Command::Contents ||
                            command == Command::ReleaseNotes || command == Command::Settings ||
                            command == Command::SaveLog || command == Command::ClearBuffer ||
                            command == Command::Feedback || command == Command::SearchHistory ||
                            command == Command::Visitors || command == Command::Login || command == Command::Rules;
        item->setEnabled(always || enabledBySession_.count(command) > 0);
    }
}

QAction *MainWindow::CommandAction(int command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::SetUsersList(QWidget *list) { tabs_->widget(0)->layout()->addWidget(list); }

void MainWindow::SetWorldsList(QWidget *list) { tabs_->widget(1)->layout()->addWidget(list); }

void MainWindow::SetTeleportsList(QWidget *list) { tabs_->widget(2)->layout()->addWidget(list); }

void MainWindow::SetCounters(int users, int bots) {
    userCounter_->SetCount(users);
    botCounter_->SetCount(bots);
}

void MainWindow::SetClockText(const QString &text) { clock_->setText(text); }

void MainWindow::SetAvatarMapWindow(QWidget *map) { mapWindow_ = map; }

void MainWindow::RepaintBackdrop() { static_cast<Backdrop *>(centralWidget())->SetGradient(settings_.showGradient); }

void MainWindow::SetAlwaysOnTop(bool onTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    const QRect where = geometry();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(where);
    if (shown) {
        show(); // changing the flags hides the window
    }
}

void MainWindow::SetChatBackground(Rgb colour) {
    chatView_->SetBackgroundColour(QColor(colour.red, colour.green, colour.blue));
}

void MainWindow::SetChatFont(const ChatFont *font) {
    if (!font || font->faceName.empty()) {
        chatView_->SetDefaultFont(initialChatFont_);
        return;
    }
    // Face, size and the underline and strike-out chosen with them; the lines' own styles come on top.
    QFont chosen(QString::fromStdString(font->faceName));
    chosen.setPointSizeF(font->size > 0 ? font->size / 20.0 : initialChatFont_.pointSizeF());
    chosen.setUnderline((font->effects & ChatFont::kUnderline) != 0);
    chosen.setStrikeOut((font->effects & ChatFont::kStrikeOut) != 0);
    chatView_->SetDefaultFont(chosen);
}

void MainWindow::SetScrollbackLines(int lines) { chat_.SetScrollbackLines(static_cast<std::size_t>(lines)); }

void MainWindow::SetChatStaysWhereScrolled(bool stay) { chatView_->SetStayWhereScrolled(stay); }
void MainWindow::SetRecordHistory(bool record) {
    if (onRecordHistory) {
        onRecordHistory(record);
    }
}

void MainWindow::SetTrayIcon(bool shown) {
    if (onTrayIcon) {
        onTrayIcon(shown);
    }
}

void MainWindow::ShowAbout() {
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About Gabbler"));
    auto *layout = new QVBoxLayout(&about);
    auto *picture = new QLabel(&about);
    picture->setPixmap(Pictures::AboutPicture());
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QStringLiteral("Gabbler Build %1").arg(kGabblerBuild), &about));
    layout->addWidget(new QLabel(QStringLiteral("This version of Gabbler uses SDK Build %1.").arg(kSdkBuild), &about));
    layout->addWidget(new QLabel(QStringLiteral("Written by the Gabbler developers."), &about));
    layout->addWidget(new QLabel(QStringLiteral("Bots, worlds and a universe of your own on one machine."), &about));
    const QUrl manual = manualAddress.isEmpty()
                            ? QUrl::fromLocalFile(FindDocumentFolder(QCoreApplication::applicationDirPath()) +
                                                  QStringLiteral("/manual.html"))
                            : manualAddress;
    auto *link = new LinkLabel(QStringLiteral("The Gabbler manual"), manual, &about);
    link->setObjectName(QStringLiteral("aboutLink"));
    if (onOpenLink) {
        // The box goes first: what the link opens must not wait behind a modal box.
        link->SetOpener([this, &about](const QUrl &address) {
            about.accept();
            return onOpenLink(address);
        });
    }
    layout->addWidget(link);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

void MainWindow::SetTitle(std::string_view title) { setWindowTitle(Q(title)); }

void MainWindow::EnableCommand(int command, bool enabled) {
    if (enabled) {
        enabledBySession_.insert(command);
    } else {
        enabledBySession_.erase(command);
    }
    if (QAction *item = CommandAction(command)) {
        item->setEnabled(enabled && commandActions_.count(command) > 0);
    }
}

void MainWindow::EnableControl(int control, bool enabled) {
    switch (control) {
    case Control::SayBox:
        sayBox_->setEnabled(enabled);
        break;
    case Control::WhisperBox:
        whisperBox_->setEnabled(enabled);
        break;
    case Control::RightsBox:
        rights_->setEnabled(enabled);
        break;
    case Control::ShowMap:
        showMap_->setEnabled(enabled);
        break;
    case Control::HideMap:
        hideMap_->setEnabled(enabled);
        break;
    default:
        break;
    }
}

void MainWindow::SetRights(const std::vector<std::string> &items) {
    rights_->clear();
    for (const std::string &item : items) {
        rights_->addItem(QString::fromStdString(item));
    }
    rights_->setCurrentIndex(0);
}

void MainWindow::SetWhisperLabel(std::string_view text) { whisperLabel_->setText(Q(text)); }

std::string MainWindow::SayText() const { return sayBox_->text().toStdString(); }

void MainWindow::SetSayText(std::string_view text) { sayBox_->setText(Q(text)); }

std::string MainWindow::WhisperText() const { return whisperBox_->text().toStdString(); }

void MainWindow::SetWhisperText(std::string_view text) { whisperBox_->setText(Q(text)); }

void MainWindow::SetSayByteLimit(std::size_t bytes) {
    InputLimit::Of(sayBox_)->SetLimit({static_cast<int>(bytes), LimitUnit::Utf8Bytes});
}

void MainWindow::ShowError(std::string_view text) { QMessageBox::critical(this, QStringLiteral("Gabbler"), Q(text)); }

std::optional<TeleportTarget> MainWindow::AskTeleport() { return onAskTeleport ? onAskTeleport() : std::nullopt; }

void MainWindow::ShowAvatarMap(bool shown) {
    if (!mapWindow_) {
        return;
    }
    if (shown) {
        mapWindow_->show();
        mapWindow_->raise();
    } else {
        mapWindow_->hide();
    }
}

void MainWindow::SetMapCentre(int x, int z) {
    if (onMapCentre) {
        onMapCentre(x, z);
    }
}

void MainWindow::SetMapManualScale(int scale) {
    if (onMapManualScale) {
        onMapManualScale(scale);
    }
}

void MainWindow::SetMapGrid(int grid) {
    if (onMapGrid) {
        onMapGrid(grid);
    }
}

void MainWindow::ApplyMapZoomType() {
    if (onApplyMapZoomType) {
        onApplyMapZoomType();
    }
}

void MainWindow::PlaySound(const std::string &path) {
    if (onPlaySound) {
        onPlaySound(path);
    }
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (!closing_ && !exiting_ && onHideToTray && onHideToTray()) {
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        if (onClosed) {
            onClosed();
        }
    }
    event->accept();
}
