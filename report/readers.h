// The library's readers of finished images, by the names the command and its
// release report use.
#pragma once

#include "codeimage/code_image_read.h"
#include "e2p/journal_read.h"
#include "flash/flash_desc.h"
#include "rai/download.h"
#include "rai/partition_map.h"
#include "rai/store_read.h"

namespace qvcli {

using qv::FlashDesc;
using qv::FlashMemPart;
using qv::FlashRecord;
using qv::FlashRegion;
using qv::CodeImageContents;
using qv::CusChunk;
using qv::CusIdent;
using qv::CusRecord;
using qv::E2pChangedBlock;
using qv::E2pJournal;
using qv::E2pJournalRecord;
using qv::PartitionMap;
using qv::RaiAreaLayout;
using qv::RaiItem;
using qv::RaiSector;
using qv::RaiSectorKind;
using qv::RaiStoreContents;
using qv::FsImage;
using qv::FsSectorRef;
using qv::cusRecordKind;
using qv::fsSectorOf;
using qv::raiSectorKindName;

} // namespace qvcli
