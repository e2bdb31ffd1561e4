#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// The per-user guard that keeps TitleDeck to one running instance: a lock
// file named "VT90_TitleSoft.lock" in the program folder. A lock left by a
// process that no longer runs is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &programFolder);
    ~SingleInstance();

    // Takes the lock; false when another running instance holds it.
    bool acquire();
    void release();
    bool held() const { return m_held; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};
