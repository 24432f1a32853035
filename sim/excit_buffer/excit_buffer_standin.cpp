// The data server's identification buffer for programs that carry the motion
// kernel without the data server: no buffer, no records.
#include "common/protocol/excit_record.h"

tagExcit6Pos* g_tagExcit_6Pos = nullptr;
std::uint32_t g_tagExcit_6Pos_size = 0;
