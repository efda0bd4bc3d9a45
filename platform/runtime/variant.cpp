#include "platform/runtime/variant.h"

#include "platform/runtime/conversions.h"

namespace runtime {

bool operator==(const Variant& a, const Variant& b)
{
    using Kind = Variant::Kind;
    if (a.kind() == Kind::Object || b.kind() == Kind::Object)
        return a.kind() == b.kind() && *a.get<ObjectRef>() == *b.get<ObjectRef>();
    if (a.kind() == Kind::String && b.kind() == Kind::String)
        return *a.get<std::u16string>() == *b.get<std::u16string>();
    if (a.isEmpty() && b.isEmpty())
        return true;
    if (a.kind() == Kind::String || b.kind() == Kind::String) {
        const Variant& text = a.kind() == Kind::String ? a : b;
        const Variant& other = a.kind() == Kind::String ? b : a;
        if (other.isEmpty())
            return text.get<std::u16string>()->empty();
        return false;
    }
    return toDouble(a) == toDouble(b);
}

}  // namespace runtime
