#include "KbKsf.h"

#include <cstring>
#include <set>

#include "App/App/AppCore.h"

std::string kbKsfName(const std::string &aName)
{
    size_t cut = aName.find_last_of("\\/");
    std::string name = cut == std::string::npos ? aName : aName.substr(cut + 1);
    for (char &c : name)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return name;
}

bool kbKsfWrite(const std::vector<kbKsfEntry> &aEntries, kbBytes *aOutP, std::string *aErrorP)
{
    auto fail = [&](const std::string &aText) {
        if (aErrorP != nullptr)
            *aErrorP = aText;
        return false;
    };
    if (aEntries.size() > KSF_ENTRY_MAX)
        return fail("more than 512 images in one package");
    std::set<std::string> names;
    size_t dirAt = sizeof(_ksfHead);
    size_t pos = dirAt + aEntries.size() * sizeof(_ksfInfo);
    kbBytes &out = *aOutP;
    out.assign(pos, 0);
    for (size_t i = 0; i < aEntries.size(); i++) {
        std::string name = kbKsfName(aEntries[i].name);
        if (name.empty() || name.size() >= KSF_NAME_SIZE)
            return fail("image name empty or longer than 31 characters: " + name);
        if (!names.insert(name).second)
            return fail("two images named " + name);
        if (pos + aEntries[i].data.size() > 0x7FFFFFFF)
            return fail("package larger than 2 GB");
        _ksfInfo info;
        memset(&info, 0, sizeof(info));
        memcpy(info.name, name.c_str(), name.size());
        info.size = (int32_t)aEntries[i].data.size();
        info.pos = (int32_t)pos;
        memcpy(out.data() + dirAt + i * sizeof(_ksfInfo), &info, sizeof(info));
        size_t at = out.size();
        kbPutBytes(out, aEntries[i].data.data(), aEntries[i].data.size());
        kbScramble(out, at, std::min<size_t>(4, aEntries[i].data.size()), KSF_ENTRY_KEY);
        pos += aEntries[i].data.size();
    }
    _ksfHead head;
    memset(&head, 0, sizeof(head));
    head.size = (int32_t)out.size();
    head.cnt = (int32_t)aEntries.size();
    memcpy(out.data(), &head, sizeof(head));
    kbScramble(out, 0, sizeof(head), KSF_HEAD_KEY);
    kbScramble(out, dirAt, aEntries.size() * sizeof(_ksfInfo), KSF_INFO_KEY);
    return true;
}
