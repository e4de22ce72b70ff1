#include "support/TestDirs.h"

#include <QDir>

namespace stillora::test {

ScratchDir::ScratchDir() : dir_(QDir::tempPath() + "/stillora-test-XXXXXX") {}

} // namespace stillora::test
