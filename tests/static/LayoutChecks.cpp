// The 32-bit layouts the fax service expects.
#include <cstddef>

#include "platform/FaxDev.h"
#include "provider/StatusBlock.h"

static_assert(sizeof(FAX_DEV_STATUS) == 44, "FAX_DEV_STATUS is 44 bytes on x86");
static_assert(sizeof(FAX_SEND) == 44, "FAX_SEND is 44 bytes on x86");
static_assert(sizeof(corvisk::DevStatusBlock) == 44, "status block mirror is 44 bytes on x86");
static_assert(offsetof(FAX_DEV_STATUS, ErrorCode) == 28, "ErrorCode at 28");
static_assert(offsetof(FAX_SEND, ReceiverNumber) == 20, "ReceiverNumber at 20");
static_assert(offsetof(FAX_SEND, CallHandle) == 28, "CallHandle at 28");
