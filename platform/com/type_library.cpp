#include "platform/com/type_library.h"

namespace com {

const TypeDescription* TypeLibrary::find(std::u16string_view name) const
{
    for (const auto& type : types) {
        if (type.name == name)
            return &type;
    }
    return nullptr;
}

}  // namespace com
