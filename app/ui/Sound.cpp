#include "app/ui/Sound.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

Sound::Sound(QObject *parent) : QObject(parent) {}

Sound::~Sound() = default;

void Sound::Play(const std::string &path) {
    const QString file = QString::fromStdString(path);
    if (path.empty() || !QFileInfo(file).isFile()) {
        return;
    }
    if (!effect_) {
        effect_ = new QSoundEffect(this);
    }
    if (loaded_ != path) {
        effect_->setSource(QUrl::fromLocalFile(file));
        loaded_ = path;
    }
    effect_->play();
}
