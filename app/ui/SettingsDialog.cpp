#include "app/ui/SettingsDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

Rgb ToRgb(const QColor &colour) { return {colour.red(), colour.green(), colour.blue()}; }

// A small frame filled with one colour.
QFrame *MakeSwatch(QWidget *parent, const char *objectName) {
    auto *swatch = new QFrame(parent);
    swatch->setObjectName(QString::fromLatin1(objectName));
    swatch->setFrameShape(QFrame::Box);
    swatch->setFixedSize(40, 20);
    swatch->setAutoFillBackground(true);
    return swatch;
}

void Paint(QWidget *swatch, Rgb colour) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, SettingsDialog::ToQColor(colour));
    swatch->setPalette(palette);
}

FontKind KindOf(const QFont &font, bool fixedPitch) {
    switch (font.styleHint()) {
    case QFont::Serif:
        return FontKind::Serif;
    case QFont::SansSerif:
        return FontKind::SansSerif;
    case QFont::TypeWriter:
    case QFont::Monospace:
        return FontKind::Monospace;
    case QFont::Cursive:
        return FontKind::Script;
    case QFont::Decorative:
    case QFont::Fantasy:
        return FontKind::Decorative;
    default:
        break;
    }
    // Chosen fonts rarely carry a hint; a fixed-pitch face is the "modern" family of the classic font record.
    return fixedPitch ? FontKind::Monospace : FontKind::Any;
}

const char *const kGlobalModeText =
    "Global mode allows you to receive all of the events (chat, avatar entrances, etc.) regardless of your current "
    "position.  To use this, your bot must have caretaker privileges, and you must re-enter the world after "
    "initially enabling global mode.";

} // namespace

std::optional<QString> SettingsChoosers::ChooseWave(QWidget *parent, const QString &title, const QString &current) {
    const QString start = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    const QString chosen =
        QFileDialog::getOpenFileName(parent, title, start, QStringLiteral("Wave files (*.wav);;All files (*)"));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

std::optional<QColor> SettingsChoosers::ChooseColour(QWidget *parent, const QColor &current) {
    const QColor chosen = QColorDialog::getColor(current, parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen;
}

std::optional<QFont> SettingsChoosers::ChooseFont(QWidget *parent, const QFont &initial) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok) {
        return std::nullopt;
    }
    return chosen;
}

SettingsDialog::SettingsDialog(Settings &settings, SettingsEffects &effects, QWidget *parent,
                               SettingsChoosers *choosers)
    : QDialog(parent), settings_(settings), effects_(effects), choosers_(choosers ? *choosers : standardChoosers_),
      logic_(settings) {
    setWindowTitle(QStringLiteral("Settings"));
    const Settings &v = logic_.Values();
    auto *layout = new QVBoxLayout(this);
    const auto check = [this](const char *objectName, const char *caption, bool checked) {
        auto *box = new QCheckBox(QString::fromLatin1(caption), this);
        box->setObjectName(QString::fromLatin1(objectName));
        box->setChecked(checked);
        return box;
    };
    const auto button = [this](const char *objectName, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(objectName));
        b->setAutoDefault(false);
        return b;
    };

    auto *general = new QGroupBox(QStringLiteral("General"), this);
    auto *generalGrid = new QGridLayout(general);
    displayEnterExit_ = check("displayEnterExit", "Display enters/exits", v.displayEnterExit);
    timestampMsgs_ = check("timestampMsgs", "Timestamp messages", v.timestampMsgs);
    showGradient_ = check("showGradient", "Use gradient backdrop", v.showGradient);
    dontShowEmptyWorlds_ = check("dontShowEmptyWorlds", "Don't show empty worlds", v.dontShowEmptyWorlds);
    showAvatarMap_ = check("showAvatarMap", "Show map on startup", v.showAvatarMap);
    dontShowPrivateWorlds_ = check("dontShowPrivateWorlds", "Don't show private worlds", v.dontShowPrivateWorlds);
    use12HourTime_ = check("use12HourTime", "Use 12 hour time", v.use12HourTime);
    showAvClicks_ = check("showAvClicks", "Show clicks on my avatar", v.showAvClicks);
    reenterWorld_ = check("reenterWorld", "Reenter world on 471", v.reenterWorld);
    alwaysOnTop_ = check("alwaysOnTop", "Always on top", logic_.AlwaysOnTopChecked());
    recordHistory_ = check("recordHistory", "Record history", v.recordHistory);
    notifyWhispers_ = check("notifyWhispers", "Notify of whispers", v.notifyWhispers);
    notifyName_ = check("notifyName", "Notify of lines naming the bot", v.notifyName);
    notifyDisconnect_ = check("notifyDisconnect", "Notify of a lost connection", v.notifyDisconnect);
    trayIcon_ = check("trayIcon", "Show tray icon", v.trayIcon);
    closeToTray_ = check("closeToTray", "Close to tray", v.closeToTray);
    QCheckBox *generalBoxes[] = {
        displayEnterExit_,      timestampMsgs_, showGradient_,    dontShowEmptyWorlds_, showAvatarMap_,
        dontShowPrivateWorlds_, use12HourTime_, showAvClicks_,    reenterWorld_,        alwaysOnTop_,
        recordHistory_,         notifyWhispers_, notifyName_,     notifyDisconnect_,    trayIcon_,
        closeToTray_};
    int index = 0;
    for (QCheckBox *box : generalBoxes) {
        generalGrid->addWidget(box, index / 2, index % 2);
        ++index;
    }
    scrollbackLines_ = new QSpinBox(this);
    scrollbackLines_->setObjectName(QStringLiteral("scrollbackLines"));
    scrollbackLines_->setRange(Settings::kMinScrollback, Settings::kMaxScrollback);
    scrollbackLines_->setSingleStep(10000);
    scrollbackLines_->setGroupSeparatorShown(true);
    scrollbackLines_->setValue(v.scrollbackLines);
    auto *scrollbackRow = new QHBoxLayout;
    scrollbackRow->addWidget(new QLabel(QStringLiteral("Chat lines kept:"), this));
    scrollbackRow->addWidget(scrollbackLines_);
    scrollbackRow->addStretch();
    generalGrid->addLayout(scrollbackRow, (index + 1) / 2, 0, 1, 2);
    stayWhereScrolled_ =
        check("stayWhereScrolled", "Keep my place when I scroll up while new lines arrive", v.stayWhereScrolled);
    generalGrid->addWidget(stayWhereScrolled_, (index + 1) / 2 + 1, 0, 1, 2);
    layout->addWidget(general);

    auto *sounds = new QGroupBox(QStringLiteral("Sounds"), this);
    auto *soundsGrid = new QGridLayout(sounds);
    struct WaveControl {
        Wave wave;
        const char *checkName;
        const char *checkCaption;
        const char *buttonName;
        const char *buttonCaption;
    };
    const WaveControl waves[] = {
        {Wave::Whisper, "playWave", "Play wave on whisper", "whisperWaveButton", "Select Whisper Wave File"},
        {Wave::Login, "playLoginSound", "Play login sound", "loginWaveButton", "Select Login Wave File"},
        {Wave::AvEntry, "playAvEntrySound", "Play avatar entry sound", "avEntryWaveButton",
         "Select Av Entry Wave File"}};
    for (const auto &w : waves) {
        const int i = static_cast<int>(w.wave);
        playWave_[i] = check(w.checkName, w.checkCaption, logic_.PlayFlag(w.wave));
        waveButton_[i] = button(w.buttonName, w.buttonCaption);
        waveButton_[i]->setToolTip(Q(logic_.WavePath(w.wave)));
        soundsGrid->addWidget(playWave_[i], i, 0);
        soundsGrid->addWidget(waveButton_[i], i, 1);
        connect(playWave_[i], &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
        connect(waveButton_[i], &QPushButton::clicked, this, [this, wave = w.wave] { ChooseWave(wave); });
    }
    layout->addWidget(sounds);

    auto *chatBox = new QGroupBox(QStringLiteral("Chat Box Color"), this);
    auto *chatBoxRow = new QHBoxLayout(chatBox);
    chatBoxSwatch_ = MakeSwatch(this, "chatBoxSwatch");
    auto *chatBoxChange = button("chatBoxChange", "Change");
    auto *chatBoxWhite = button("chatBoxWhite", "Set to default white color");
    chatBoxRow->addWidget(chatBoxSwatch_);
    chatBoxRow->addWidget(chatBoxChange);
    chatBoxRow->addWidget(chatBoxWhite);
    chatBoxRow->addStretch();
    connect(chatBoxChange, &QPushButton::clicked, this,
            [this] { ChooseColour(logic_.Values().chatBox, chatBoxSwatch_); });
    connect(chatBoxWhite, &QPushButton::clicked, this, [this] {
        logic_.SetChatBoxToWhite();
        Paint(chatBoxSwatch_, logic_.Values().chatBox);
    });
    layout->addWidget(chatBox);

    auto *chatFont = new QGroupBox(QStringLiteral("Chat font"), this);
    auto *chatFontGrid = new QGridLayout(chatFont);
    enableFonts_ = check("enableFonts", "Enable custom font", v.enableFonts);
    chooseFont_ = button("chooseFont", "Choose Font");
    fontLabel_ = new QLabel(this);
    fontLabel_->setObjectName(QStringLiteral("fontLabel"));
    chatFontGrid->addWidget(enableFonts_, 0, 0);
    chatFontGrid->addWidget(chooseFont_, 0, 1);
    chatFontGrid->addWidget(fontLabel_, 1, 0, 1, 2);
    connect(enableFonts_, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
    connect(chooseFont_, &QPushButton::clicked, this, &SettingsDialog::ChooseFont);
    layout->addWidget(chatFont);

    auto *global = new QGroupBox(QStringLiteral("Global mode"), this);
    auto *globalGrid = new QGridLayout(global);
    enterGlobal_ = check("enterGlobal", "Enable global mode", v.enterGlobal);
    globalSwatch_ = MakeSwatch(this, "globalSwatch");
    auto *globalChange = button("globalChange", "Change");
    chatBold_ = check("chatBold", "Bold", v.chatBold);
    chatItalics_ = check("chatItalics", "Italics", v.chatItalics);
    globalGrid->addWidget(enterGlobal_, 0, 0, 1, 4);
    globalGrid->addWidget(new QLabel(QStringLiteral("Self spoken text:"), this), 1, 0);
    globalGrid->addWidget(globalSwatch_, 1, 1);
    globalGrid->addWidget(globalChange, 1, 2);
    globalGrid->addWidget(chatBold_, 2, 0);
    globalGrid->addWidget(chatItalics_, 2, 1);
    globalGrid->setColumnStretch(3, 1);
    connect(globalChange, &QPushButton::clicked, this,
            [this] { ChooseColour(logic_.Values().globalChat, globalSwatch_); });
    layout->addWidget(global);
    auto *globalText = new QLabel(QString::fromLatin1(kGlobalModeText), this);
    globalText->setWordWrap(true);
    layout->addWidget(globalText);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    layout->addWidget(buttons);

    Paint(chatBoxSwatch_, v.chatBox);
    Paint(globalSwatch_, v.globalChat);
    fontLabel_->setText(Q(logic_.FontLabel()));
    UpdateEnabled();
    // The word-wrapped note asks for its height only once the width is known: the dialog is sized for it at that
    // width, or every row above it is squeezed to make room.
    const int width = sizeHint().width();
    resize(width, std::max(sizeHint().height(), layout->totalHeightForWidth(width)));
}

void SettingsDialog::accept() {
    ReadControls();
    logic_.Accept(settings_, effects_);
    QDialog::accept();
}

void SettingsDialog::ReadControls() {
    Settings &v = logic_.Values();
    v.displayEnterExit = displayEnterExit_->isChecked();
    v.timestampMsgs = timestampMsgs_->isChecked();
    v.showGradient = showGradient_->isChecked();
    v.dontShowEmptyWorlds = dontShowEmptyWorlds_->isChecked();
    v.showAvatarMap = showAvatarMap_->isChecked();
    v.dontShowPrivateWorlds = dontShowPrivateWorlds_->isChecked();
    v.use12HourTime = use12HourTime_->isChecked();
    v.showAvClicks = showAvClicks_->isChecked();
    v.reenterWorld = reenterWorld_->isChecked();
    v.recordHistory = recordHistory_->isChecked();
    v.notifyWhispers = notifyWhispers_->isChecked();
    v.notifyName = notifyName_->isChecked();
    v.notifyDisconnect = notifyDisconnect_->isChecked();
    v.trayIcon = trayIcon_->isChecked();
    v.closeToTray = closeToTray_->isChecked();
    logic_.SetAlwaysOnTopChecked(alwaysOnTop_->isChecked());
    v.scrollbackLines = scrollbackLines_->value();
    v.stayWhereScrolled = stayWhereScrolled_->isChecked();
    for (const Wave wave : {Wave::Whisper, Wave::Login, Wave::AvEntry}) {
        logic_.PlayFlag(wave) = playWave_[static_cast<int>(wave)]->isChecked();
    }
    v.enableFonts = enableFonts_->isChecked();
    v.enterGlobal = enterGlobal_->isChecked();
    v.chatBold = chatBold_->isChecked();
    v.chatItalics = chatItalics_->isChecked();
}

void SettingsDialog::UpdateEnabled() {
    ReadControls();
    for (const Wave wave : {Wave::Whisper, Wave::Login, Wave::AvEntry}) {
        waveButton_[static_cast<int>(wave)]->setEnabled(logic_.WaveButtonEnabled(wave));
    }
    chooseFont_->setEnabled(logic_.ChooseFontEnabled());
}

void SettingsDialog::ChooseWave(Wave wave) {
    std::string &path = logic_.WavePath(wave);
    if (const auto chosen = choosers_.ChooseWave(this, Q(SettingsDialogLogic::WaveChooserTitle(wave)), Q(path))) {
        path = chosen->toStdString();
        waveButton_[static_cast<int>(wave)]->setToolTip(*chosen);
    }
}

void SettingsDialog::ChooseColour(Rgb &colour, QWidget *swatch) {
    if (const auto chosen = choosers_.ChooseColour(this, ToQColor(colour))) {
        colour = ToRgb(*chosen);
        Paint(swatch, colour);
    }
}

void SettingsDialog::ChooseFont() {
    const ChatFont &current = logic_.Values().font;
    QFont initial(Q(current.faceName));
    if (current.size >= 20) {
        initial.setPointSizeF(current.size / 20.0);
    }
    initial.setUnderline((current.effects & ChatFont::kUnderline) != 0);
    initial.setStrikeOut((current.effects & ChatFont::kStrikeOut) != 0);
    const auto chosen = choosers_.ChooseFont(this, initial);
    if (!chosen) {
        return;
    }
    const bool fixedPitch = QFontDatabase::isFixedPitch(chosen->family());
    logic_.TakeChosenFont({chosen->family().toStdString(), chosen->pointSizeF(), chosen->underline(),
                           chosen->strikeOut(), fixedPitch, KindOf(*chosen, fixedPitch)});
    fontLabel_->setText(Q(logic_.FontLabel()));
}
