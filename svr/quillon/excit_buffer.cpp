// The identification buffer the motion library fills; the data server's
// identification work publishes and releases it.
#include "common/protocol/excit_record.h"

tagExcit6Pos* g_tagExcit_6Pos = nullptr;
std::uint32_t g_tagExcit_6Pos_size = 0;
