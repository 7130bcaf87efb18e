#pragma once

#include "app/SettingsDialogLogic.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QWidget;

// The choosers the Settings dialog opens. The standard ones are Qt's dialogs; tests put their own in their place.
class SettingsChoosers {
public:
    virtual ~SettingsChoosers() = default;
    // A wave file's full path, or nothing on Cancel.
    virtual std::optional<QString> ChooseWave(QWidget *parent, const QString &title, const QString &current);
    virtual std::optional<QColor> ChooseColour(QWidget *parent, const QColor &current);
    virtual std::optional<QFont> ChooseFont(QWidget *parent, const QFont &initial);
};

// "Settings": edits a copy of the settings and stores it, with its visible effects, on OK only.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // choosers may be null for Qt's own; otherwise it must outlive the dialog.
    SettingsDialog(Settings &settings, SettingsEffects &effects, QWidget *parent = nullptr,
                   SettingsChoosers *choosers = nullptr);

    void accept() override;

    // The colour of a swatch as painted, for the dialog's users that check it.
    static QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

private:
    void ReadControls();
    void UpdateEnabled();
    void ChooseWave(Wave wave);
    void ChooseColour(Rgb &colour, QWidget *swatch);
    void ChooseFont();

    Settings &settings_;
    SettingsEffects &effects_;
    SettingsChoosers standardChoosers_;
    SettingsChoosers &choosers_;
    SettingsDialogLogic logic_;

    QCheckBox *displayEnterExit_ = nullptr;
    QCheckBox *timestampMsgs_ = nullptr;
    QCheckBox *showGradient_ = nullptr;
    QCheckBox *dontShowEmptyWorlds_ = nullptr;
    QCheckBox *showAvatarMap_ = nullptr;
    QCheckBox *dontShowPrivateWorlds_ = nullptr;
    QCheckBox *use12HourTime_ = nullptr;
    QCheckBox *showAvClicks_ = nullptr;
    QCheckBox *reenterWorld_ = nullptr;
    QCheckBox *alwaysOnTop_ = nullptr;
    QCheckBox *stayWhereScrolled_ = nullptr;
    QCheckBox *recordHistory_ = nullptr;
    QCheckBox *notifyWhispers_ = nullptr;
    QCheckBox *notifyName_ = nullptr;
    QCheckBox *notifyDisconnect_ = nullptr;
    QCheckBox *trayIcon_ = nullptr;
    QCheckBox *closeToTray_ = nullptr;
    QSpinBox *scrollbackLines_ = nullptr;
    QCheckBox *playWave_[3] = {};
    QPushButton *waveButton_[3] = {};
    QWidget *chatBoxSwatch_ = nullptr;
    QCheckBox *enableFonts_ = nullptr;
    QPushButton *chooseFont_ = nullptr;
    QLabel *fontLabel_ = nullptr;
    QCheckBox *enterGlobal_ = nullptr;
    QWidget *globalSwatch_ = nullptr;
    QCheckBox *chatBold_ = nullptr;
    QCheckBox *chatItalics_ = nullptr;
};
