#include "FtpInternal.h"
#include "base/Strings.h"
#include "fileops/FileSystem.h"
