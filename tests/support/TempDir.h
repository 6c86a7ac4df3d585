#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <ostream>

// Lets test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace testing_support {

// A fresh folder for one test; removed afterwards.
class TempDir {
public:
    TempDir() : dir_(QDir::tempPath() + QStringLiteral("/vardimo-test-XXXXXX")) {}
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return QDir(dir_.path()).filePath(name); }

private:
    QTemporaryDir dir_;
};

} // namespace testing_support
