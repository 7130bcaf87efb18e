#include "login/ui/LoginDialog.h"

#include "controls/InputLimit.h"
#include "login/ui/AttachBotDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int kBotNameLimit = 16;
constexpr int kWorldLimit = 8;

QString Q(const std::string &text) { return QString::fromStdString(text); }

// The picture on the dialog's left half, drawn rather than shipped.
class LoginPicture : public QWidget {
public:
    explicit LoginPicture(QWidget *parent) : QWidget(parent) { setMinimumSize(150, 200); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(rect().topLeft(), rect().bottomLeft());
        sky.setColorAt(0, QColor(40, 70, 150));
        sky.setColorAt(1, QColor(150, 200, 240));
        painter.fillRect(rect(), sky);
        const QRectF ground(0, height() * 0.7, width(), height() * 0.3);
        painter.fillRect(ground, QColor(70, 140, 70));
        // A speech bubble: the bot talking in its world.
        const QRectF bubble(width() * 0.15, height() * 0.2, width() * 0.7, height() * 0.25);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(bubble, 12, 12);
        const QPointF tail[] = {{bubble.left() + bubble.width() * 0.3, bubble.bottom() - 1},
                                {bubble.left() + bubble.width() * 0.25, bubble.bottom() + height() * 0.08},
                                {bubble.left() + bubble.width() * 0.45, bubble.bottom() - 1}};
        painter.drawPolygon(tail, 3);
        QFont font = painter.font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.6);
        painter.setFont(font);
        painter.setPen(QColor(40, 70, 150));
        painter.drawText(bubble, Qt::AlignCenter, QStringLiteral("Gabbler"));
    }
};

// "Add Profile": asks for the new profile's name.
class AddProfileDialog : public QDialog {
public:
    explicit AddProfileDialog(QWidget *parent) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Add Profile"));
        auto *layout = new QFormLayout(this);
        name_ = new QLineEdit(this);
        name_->setObjectName(QStringLiteral("profileNameEdit"));
        layout->addRow(QStringLiteral("Profile Name:"), name_);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addRow(buttons);
    }
    std::string Name() const { return name_->text().toStdString(); }

private:
    QLineEdit *name_;
};

} // namespace

LoginDialog::LoginDialog(const std::string &profilesPath, const std::string &executableName, QWidget *parent)
    : QDialog(parent), logic_(*this, profilesPath) {
    setWindowTitle(QStringLiteral("Gabbler Login"));
    auto *columns = new QHBoxLayout(this);
    columns->addWidget(new LoginPicture(this), 1);
    auto *right = new QVBoxLayout;
    columns->addLayout(right, 1);

    auto *form = new QFormLayout;
    right->addLayout(form);
    const auto edit = [this](const char *objectName) {
        auto *line = new QLineEdit(this);
        line->setObjectName(QString::fromLatin1(objectName));
        connect(line, &QLineEdit::textEdited, this, [this] { logic_.Edited(); });
        return line;
    };
    profileBox_ = new QComboBox(this);
    profileBox_->setObjectName(QStringLiteral("profileBox"));
    form->addRow(QStringLiteral("Profile:"), profileBox_);
    citizen_ = edit("citizenEdit");
    citizen_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), citizen_));
    form->addRow(QStringLiteral("Citizen number:"), citizen_);
    password_ = edit("passwordEdit");
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Privilege password:"), password_);
    botName_ = edit("botNameEdit");
    // Typing limits only: a profile's longer name or world is shown, used and saved whole.
    InputLimit::Attach(botName_, {kBotNameLimit, LimitUnit::Characters}, QStringLiteral("Bot name"));
    form->addRow(QStringLiteral("Bot name:"), botName_);
    world_ = edit("worldEdit");
    InputLimit::Attach(world_, {kWorldLimit, LimitUnit::Characters}, QStringLiteral("World"));
    form->addRow(QStringLiteral("World:"), world_);
    coordinates_ = edit("coordinatesEdit");
    form->addRow(QStringLiteral("Coordinates:"), coordinates_);
    universe_ = edit("universeEdit");
    form->addRow(QStringLiteral("Universe:"), universe_);

    auto *buttons = new QHBoxLayout;
    right->addStretch();
    right->addLayout(buttons);
    addProfile_ = new QPushButton(QStringLiteral("Add Profile"), this);
    addProfile_->setObjectName(QStringLiteral("addProfileButton"));
    addProfile_->setAutoDefault(false);
    saveProfile_ = new QPushButton(QStringLiteral("Save Profile"), this);
    saveProfile_->setObjectName(QStringLiteral("saveProfileButton"));
    saveProfile_->setAutoDefault(false);
    login_ = new QPushButton(QStringLiteral("&Login"), this);
    login_->setObjectName(QStringLiteral("loginButton"));
    login_->setDefault(true);
    buttons->addWidget(addProfile_);
    buttons->addWidget(saveProfile_);
    buttons->addWidget(login_);
    // A bot already running headless: the window opens on it instead of logging in a bot of its own.
    attachButton_ = new QPushButton(QStringLiteral("Attach to a Running Bot..."), this);
    attachButton_->setObjectName(QStringLiteral("attachButton"));
    attachButton_->setAutoDefault(false);
    right->addWidget(attachButton_);

    connect(profileBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { logic_.ChooseProfile(index, ReadControls()); });
    connect(addProfile_, &QPushButton::clicked, this, [this] { logic_.AddProfile(ReadControls()); });
    connect(saveProfile_, &QPushButton::clicked, this, [this] { logic_.SaveProfile(ReadControls()); });
    connect(login_, &QPushButton::clicked, this, &LoginDialog::LoginPressed);
    connect(attachButton_, &QPushButton::clicked, this, &LoginDialog::AttachPressed);

    logic_.Open(executableName);
}

void LoginDialog::closeEvent(QCloseEvent *event) {
    // Only the close box arrives here; Escape rejects the dialog directly.
    if (isVisible()) {
        logic_.CloseBox(ReadControls());
    }
    QDialog::closeEvent(event);
}

void LoginDialog::LoginPressed() {
    values_ = logic_.Login(ReadControls());
    accept();
}

void LoginDialog::AttachPressed() {
    AttachBotDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.Choice().address.empty()) {
        return;
    }
    attach_ = dialog.Choice();
    accept();
}

LoginFields LoginDialog::ReadControls() const {
    return {citizen_->text().toStdString(), password_->text().toStdString(),    botName_->text().toStdString(),
            world_->text().toStdString(),   coordinates_->text().toStdString(), universe_->text().toStdString()};
}

void LoginDialog::ShowFields(const LoginFields &fields) {
    citizen_->setText(Q(fields.citizen));
    password_->setText(Q(fields.privilegePassword));
    botName_->setText(Q(fields.botName));
    world_->setText(Q(fields.world));
    coordinates_->setText(Q(fields.coordinates));
    universe_->setText(Q(fields.universe));
}

void LoginDialog::ShowProfileBox(const std::vector<std::string> &names, int selected) {
    const QSignalBlocker quiet(profileBox_); // only the user's choice is a choice
    profileBox_->clear();
    for (const auto &name : names) {
        profileBox_->addItem(Q(name));
    }
    profileBox_->setCurrentIndex(selected);
}

void LoginDialog::SetFieldsEnabled(bool enabled) {
    for (QWidget *widget :
         {static_cast<QWidget *>(citizen_), static_cast<QWidget *>(password_), static_cast<QWidget *>(botName_),
          static_cast<QWidget *>(world_), static_cast<QWidget *>(coordinates_), static_cast<QWidget *>(universe_),
          static_cast<QWidget *>(saveProfile_), static_cast<QWidget *>(login_)}) {
        widget->setEnabled(enabled);
    }
}

bool LoginDialog::AskYesNo(const std::string &question) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Gabbler"), Q(question), QMessageBox::Yes | QMessageBox::No,
                    this);
    return box.exec() == QMessageBox::Yes;
}

void LoginDialog::ShowError(const std::string &message) {
    QMessageBox::critical(this, QStringLiteral("Gabbler"), Q(message));
}

std::optional<std::string> LoginDialog::AskProfileName() {
    AddProfileDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Name();
}
