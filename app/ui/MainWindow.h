#pragma once

#include "app/MainView.h"
#include "app/SettingsDialogLogic.h"

#include <QFont>
#include <QMainWindow>
#include <QPixmap>
#include <QUrl>

#include <array>
#include <functional>
#include <map>
#include <set>

class ChatPane;
class ChatView;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class PeopleCounter;
class QWidget;
struct Settings;

// The main window: the chat pane, the three lists in their tabs, the counters, the clock, the rights box, the say
// and whisper boxes and the menus. It shows what the session and its parts decide and forwards the user's actions;
// the rules live in those parts.
class MainWindow : public QMainWindow, public MainView, public SettingsEffects {
    Q_OBJECT

public:
    MainWindow(ChatPane &chat, Settings &settings, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Connects a menu command (Command::...) to what it does. A command without an action stays greyed however
    // the session enables it, so a menu item never offers what the program cannot yet do.
    void SetCommandAction(int command, std::function<void()> action);
    QAction *CommandAction(int command) const;

    // The lists that live in the tabs, built by their own parts.
    void SetUsersList(QWidget *list);
    void SetWorldsList(QWidget *list);
    void SetTeleportsList(QWidget *list);
    void SetCounters(int users, int bots);
    void SetClockText(const QString &text);
    void SetAvatarMapWindow(QWidget *map);

    // SettingsEffects: what the settings change on screen.
    void RepaintBackdrop() override;
    void SetAlwaysOnTop(bool onTop) override;
    void SetChatBackground(Rgb colour) override;
    void SetChatFont(const ChatFont *font) override;
    void SetScrollbackLines(int lines) override;
    void SetChatStaysWhereScrolled(bool stay) override;
    void SetRecordHistory(bool record) override;
    void SetTrayIcon(bool shown) override;

    ChatView *Chat() const { return chatView_; }
    QLineEdit *SayBox() const { return sayBox_; }
    QLineEdit *WhisperBox() const { return whisperBox_; }
    QPushButton *SendButton() const { return sendButton_; }

    std::function<void()> onSend;   // SEND, or Enter in either box
    std::function<void()> onClosed; // the window is closing: write what must be written
    std::function<void(bool record)> onRecordHistory;
    std::function<void(bool shown)> onTrayIcon;
    // Asked when the window is closed other than by File, Exit: true when it went into the tray instead.
    std::function<bool()> onHideToTray;
    std::function<void(int tab)> onTab; // the current tab changed
    std::function<void(int x, int z)> onMapCentre;
    std::function<void(int scale)> onMapManualScale;
    std::function<void(int grid)> onMapGrid;
    std::function<void()> onApplyMapZoomType;
    std::function<std::optional<TeleportTarget>()> onAskTeleport;
    std::function<void(const std::string &)> onPlaySound;
    std::function<bool(const QUrl &)> onOpenLink; // the About box's link; the desktop's opener when unset
    QUrl manualAddress;                           // where the About box's link leads

    // MainView
    void SetTitle(std::string_view title) override;
    void EnableCommand(int command, bool enabled) override;
    void EnableControl(int control, bool enabled) override;
    void SetRights(const std::vector<std::string> &items) override;
    void SetWhisperLabel(std::string_view text) override;
    std::string SayText() const override;
    void SetSayText(std::string_view text) override;
    std::string WhisperText() const override;
    void SetWhisperText(std::string_view text) override;
    void SetSayByteLimit(std::size_t bytes) override;
    void ShowError(std::string_view text) override;
    std::optional<TeleportTarget> AskTeleport() override;
    void ShowAvatarMap(bool shown) override;
    void SetMapCentre(int x, int z) override;
    void SetMapManualScale(int scale) override;
    void SetMapGrid(int grid) override;
    void ApplyMapZoomType() override;
    void PlaySound(const std::string &path) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct StepKey {
        int command;
        QKeyCombination keys;
    };
    static const std::array<StepKey, 6> kStepKeys;

    void BuildMenus();
    void BuildStepKeys();
    void BuildControls();
    QAction *AddCommand(QMenu *menu, int command, const QString &caption);
    void AddChatFilter(QMenu *menu, int command, const QString &caption, bool Settings::*flag);
    void ApplyChatFilter();
    void ShowAbout();

    ChatPane &chat_;
    Settings &settings_;
    std::map<int, QAction *> actions_;
    std::map<int, std::function<void()>> commandActions_;
    std::set<int> enabledBySession_;

    ChatView *chatView_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    PeopleCounter *userCounter_ = nullptr;
    PeopleCounter *botCounter_ = nullptr;
    QLabel *clock_ = nullptr;
    QComboBox *rights_ = nullptr;
    QLabel *whisperLabel_ = nullptr;
    QPushButton *showMap_ = nullptr;
    QPushButton *hideMap_ = nullptr;
    QLineEdit *sayBox_ = nullptr;
    QLineEdit *whisperBox_ = nullptr;
    QPushButton *sendButton_ = nullptr;
    QWidget *mapWindow_ = nullptr;
    QFont initialChatFont_;
    bool closing_ = false;
    bool exiting_ = false; // File, Exit: the window closes even when it would otherwise go into the tray
    bool escapeForPopup_ = false; // the Escape key now down was pressed in a popup
};
