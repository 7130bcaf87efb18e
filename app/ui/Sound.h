#pragma once

#include <QObject>

#include <memory>
#include <string>

class QSoundEffect;

// Plays wave files without waiting. A missing file, a file that is not a wave or a machine without a sound device
// is silence, never an error.
class Sound : public QObject {
    Q_OBJECT

public:
    explicit Sound(QObject *parent = nullptr);
    ~Sound() override;
    void Play(const std::string &path);

private:
    QSoundEffect *effect_ = nullptr;
    std::string loaded_;
};
