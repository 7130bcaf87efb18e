#include "admin/ui/WorldFeaturesDialog.h"

#include "controls/ColorSwatch.h"
#include "sdk/Attributes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

WorldFeaturesDialog::WorldFeaturesDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent)
    : QDialog(parent), prompt_(this), logic_(sdk, prompt_, std::move(writeLine)),
      form_(WorldFeaturesLogic::Fields(), this) {
    setWindowTitle(QString::fromUtf8(WorldFeaturesText::Title));
    logic_.Open();
    const auto fields = WorldFeaturesLogic::Fields();

    auto *texts = new QFormLayout;
    auto *numbers = new QFormLayout;
    auto *checks = new QGridLayout;
    int checkCount = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        form_.SetListEntries(i, logic_.ListEntries(i));
        switch (fields[i].kind) {
        case FieldKind::Text:
        case FieldKind::MultiLineText:
            form_.AddRow(texts, i);
            if (fields[i].attribute == kAttrWorldEntryPoint) {
                myLocation_ = new QPushButton(QStringLiteral("Set to my location"), this);
                myLocation_->setObjectName(QStringLiteral("setToMyLocation"));
                texts->addRow(QString(), myLocation_);
                connect(myLocation_, &QPushButton::clicked, this,
                        [this, i] { form_.SetText(i, logic_.MyLocationText()); });
            }
            break;
        case FieldKind::Number:
        case FieldKind::List:
            form_.AddRow(numbers, i);
            break;
        case FieldKind::Check:
        case FieldKind::InvertedCheck:
            checks->addWidget(form_.Control(i), checkCount / 2, checkCount % 2);
            ++checkCount;
            break;
        }
    }
    form_.Show(logic_.Values());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        form_.SetEnabled(i, logic_.FieldEnabled(i));
    }

    // The swatch only shows the colour; "Change" is the way to pick another.
    swatch_ = new ColorSwatch(this);
    swatch_->setAttribute(Qt::WA_TransparentForMouseEvents);
    swatch_->setFocusPolicy(Qt::NoFocus);
    const BackdropColour colour = logic_.Colour();
    swatch_->SetColor(QColor(colour.red, colour.green, colour.blue));
    change_ = new QPushButton(QStringLiteral("Change"), this);
    change_->setObjectName(QStringLiteral("changeColour"));
    connect(change_, &QPushButton::clicked, swatch_, &ColorSwatch::ChooseColor);
    connect(swatch_, &ColorSwatch::colorChanged, this, &WorldFeaturesDialog::ColourPicked);
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(new QLabel(QStringLiteral("Backdrop Color"), this));
    colourRow->addWidget(swatch_);
    colourRow->addWidget(change_);
    colourRow->addStretch();
    numbers->addRow(colourRow);

    const WorldInfoTexts &info = logic_.Info();
    auto *infoBox = new QGroupBox(this);
    auto *infoForm = new QFormLayout(infoBox);
    const std::pair<const char *, const std::string *> infoRows[] = {{"World Size:", &info.size},
                                                                     {"Maximum users:", &info.maxUsers},
                                                                     {"Object Count:", &info.objectCount},
                                                                     {"World Expiration:", &info.expiration}};
    int row = 0;
    for (const auto &[label, text] : infoRows) {
        auto *value = new QLabel(Q(*text), infoBox);
        value->setObjectName(QStringLiteral("info%1").arg(row++));
        infoForm->addRow(QString::fromUtf8(label), value);
    }

    auto *buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(ok_, &QPushButton::clicked, this, &WorldFeaturesDialog::OkPressed);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ok_->setEnabled(logic_.OkEnabled());
    change_->setEnabled(logic_.ChangeColourEnabled());
    myLocation_->setEnabled(logic_.SetToMyLocationEnabled());

    auto *columns = new QHBoxLayout;
    columns->addLayout(texts, 3);
    columns->addLayout(numbers, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(checks);
    layout->addWidget(infoBox);
    layout->addWidget(buttons);
}

void WorldFeaturesDialog::ColourPicked() {
    const QColor picked = swatch_->Color();
    logic_.ChangeColour({picked.red(), picked.green(), picked.blue()});
    const BackdropColour colour = logic_.Colour();
    swatch_->SetColor(QColor(colour.red, colour.green, colour.blue));
}

void WorldFeaturesDialog::OkPressed() {
    if (logic_.Ok(form_.Read())) {
        accept();
    }
}
