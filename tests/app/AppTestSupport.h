#pragma once

#include <QString>
#include <QTemporaryDir>

#include "foundation/UserDefaults.h"

namespace korvane::test {

// A sample scene shipped with the application.
inline QString sampleScenePath(const char* name = "Alpine Lake") {
    return QStringLiteral(KORVANE_SOURCE_DIR "/resources/samples/%1.korvane").arg(QString::fromUtf8(name));
}

// Fresh in-memory user defaults for each test.
inline void resetUserDefaults() { UserDefaults::setStandard(nullptr); }

}  // namespace korvane::test
