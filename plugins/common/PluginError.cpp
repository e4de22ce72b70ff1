#include "plugins/common/PluginError.h"

TPluginError::~TPluginError() = default;
