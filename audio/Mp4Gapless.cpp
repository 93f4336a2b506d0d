#include "audio/Mp4Gapless.h"

#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

namespace audio_detail {

namespace {
const char *const kGaplessKey = "----:com.apple.iTunes:iTunSMPB";
}

struct KeptGaplessInfo::Kept {
    TagLib::MP4::Tag *tag;
    TagLib::MP4::Item item; // invalid when the file had none
};

KeptGaplessInfo::KeptGaplessInfo(TagLib::File *file)
{
    auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file);
    if (!mp4 || !mp4->tag())
        return;
    TagLib::MP4::Tag *tag = mp4->tag();
    kept_ = new Kept{tag, tag->contains(kGaplessKey) ? tag->item(kGaplessKey) : TagLib::MP4::Item()};
}

KeptGaplessInfo::~KeptGaplessInfo() { delete kept_; }

void KeptGaplessInfo::Restore()
{
    if (!kept_)
        return;
    if (kept_->item.isValid())
        kept_->tag->setItem(kGaplessKey, kept_->item);
    else
        kept_->tag->removeItem(kGaplessKey);
}

} // namespace audio_detail
