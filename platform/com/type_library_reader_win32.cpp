#include "platform/com/type_library_win32.h"

#include "platform/com/com_object_win32.h"
#include "platform/com/com_ptr.h"

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

namespace com {

namespace {

// What the system reads back, for the members a description holds.
class Reader {
public:
    explicit Reader(std::string& error) : m_error(error) {}

    std::optional<TypeLibrary> read(ITypeLib* library)
    {
        TypeLibrary result;
        TLIBATTR* attributes = nullptr;
        if (FAILED(library->GetLibAttr(&attributes))) {
            m_error = "the type library has no attributes";
            return std::nullopt;
        }
        result.guid = guidOf(attributes->guid);
        result.lcid = attributes->lcid;
        result.majorVersion = attributes->wMajorVerNum;
        result.minorVersion = attributes->wMinorVerNum;
        result.flags = attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE;  // the writer's own mark
        library->ReleaseTLibAttr(attributes);
        BSTR name = nullptr;
        BSTR help = nullptr;
        library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
        result.name = taken(name);
        result.helpString = taken(help);
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            Ptr<ITypeInfo> info;
            if (FAILED(library->GetTypeInfo(i, info.out()))) {
                m_error = "type " + std::to_string(i) + " cannot be read";
                return std::nullopt;
            }
            result.types.push_back(describeType(info.get()));
        }
        return result;
    }

private:
    static Guid guidOf(const GUID& guid)
    {
        Guid result{guid.Data1, guid.Data2, guid.Data3, {}};
        for (std::size_t i = 0; i < result.data4.size(); ++i)
            result.data4[i] = guid.Data4[i];
        return result;
    }

    static std::u16string taken(BSTR text)
    {
        std::u16string result;
        if (text)
            result.assign(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
        ::SysFreeString(text);
        return result;
    }

    static std::u16string nameOf(ITypeInfo* info, MEMBERID member)
    {
        BSTR name = nullptr;
        info->GetDocumentation(member, &name, nullptr, nullptr, nullptr);
        return taken(name);
    }

    static std::u16string typeName(ITypeInfo* info, const TYPEDESC& type)
    {
        switch (type.vt) {
        case VT_I4: return u"Long";
        case VT_I2: return u"Integer";
        case VT_BSTR: return u"String";
        case VT_BOOL: return u"Boolean";
        case VT_R8: return u"Double";
        case VT_PTR: return typeName(info, *type.lptdesc);
        case VT_USERDEFINED: {
            Ptr<ITypeInfo> target;
            if (SUCCEEDED(info->GetRefTypeInfo(type.hreftype, target.out())))
                return nameOf(target.get(), MEMBERID_NIL);
            break;
        }
        default: break;
        }
        return u"?";
    }

    // The flags a description holds. A dual interface is read as its dispatch view; the vtable
    // view holds the rest of its flags.
    static std::uint16_t flagsOf(ITypeInfo* info, const TYPEATTR& attributes)
    {
        constexpr std::uint16_t kDescribed =
            TYPEFLAG_FHIDDEN | TYPEFLAG_FCONTROL | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
        std::uint16_t flags = attributes.wTypeFlags;
        HREFTYPE vtable = 0;
        Ptr<ITypeInfo> view;
        TYPEATTR* viewAttributes = nullptr;
        if (attributes.typekind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL)
            && SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable))
            && SUCCEEDED(info->GetRefTypeInfo(vtable, view.out())) && SUCCEEDED(view->GetTypeAttr(&viewAttributes))) {
            flags |= viewAttributes->wTypeFlags;
            view->ReleaseTypeAttr(viewAttributes);
        }
        return flags & kDescribed;
    }

    static TypeDescription describeType(ITypeInfo* info)
    {
        TYPEATTR* attributes = nullptr;
        TypeDescription type{};
        if (FAILED(info->GetTypeAttr(&attributes)))
            return type;
        type.name = nameOf(info, MEMBERID_NIL);
        type.guid = guidOf(attributes->guid);
        type.flags = flagsOf(info, *attributes);
        switch (attributes->typekind) {
        case TKIND_ENUM:
            type.kind = TypeDescription::Kind::Enumeration;
            for (UINT i = 0; i < attributes->cVars; ++i) {
                VARDESC* constant = nullptr;
                if (FAILED(info->GetVarDesc(i, &constant)))
                    continue;
                VARIANT value;
                ::VariantInit(&value);
                if (constant->varkind == VAR_CONST
                    && SUCCEEDED(::VariantChangeType(&value, constant->lpvarValue, 0, VT_I4)))
                    type.constants.emplace_back(nameOf(info, constant->memid), value.lVal);
                info->ReleaseVarDesc(constant);
            }
            break;
        case TKIND_COCLASS:
            type.kind = TypeDescription::Kind::CoClass;
            for (UINT i = 0; i < attributes->cImplTypes; ++i) {
                INT flags = 0;
                HREFTYPE handle = 0;
                Ptr<ITypeInfo> part;
                if (FAILED(info->GetImplTypeFlags(i, &flags)) || FAILED(info->GetRefTypeOfImplType(i, &handle))
                    || FAILED(info->GetRefTypeInfo(handle, part.out())) || !(flags & IMPLTYPEFLAG_FDEFAULT))
                    continue;
                (flags & IMPLTYPEFLAG_FSOURCE ? type.defaultSource : type.defaultInterface) =
                    nameOf(part.get(), MEMBERID_NIL);
            }
            break;
        default:
            type.kind = TypeDescription::Kind::Dispatch;
            for (UINT i = 0; i < attributes->cFuncs; ++i) {
                FUNCDESC* function = nullptr;
                if (FAILED(info->GetFuncDesc(i, &function)))
                    continue;
                addProperty(info, *function, type.properties);
                info->ReleaseFuncDesc(function);
            }
            break;
        }
        info->ReleaseTypeAttr(attributes);
        return type;
    }

    // A property's get and put are two functions of one identifier; IDispatch's own are none.
    static void addProperty(ITypeInfo* info, const FUNCDESC& function, std::vector<PropertyDescription>& properties)
    {
        const bool getter = function.invkind == INVOKE_PROPERTYGET;
        if ((!getter && function.invkind != INVOKE_PROPERTYPUT) || (function.wFuncFlags & FUNCFLAG_FRESTRICTED))
            return;
        // A getter's value is its return value in a dispatch interface, its last parameter in
        // a vtable interface.
        const TYPEDESC& value =
            function.cParams > 0 ? function.lprgelemdescParam[function.cParams - 1].tdesc : function.elemdescFunc.tdesc;
        auto property = std::find_if(properties.begin(), properties.end(),
                                     [&](const PropertyDescription& p) { return p.id == function.memid; });
        if (property == properties.end()) {
            properties.push_back({nameOf(info, function.memid), function.memid, typeName(info, value), false, false,
                                  function.wFuncFlags});
            property = properties.end() - 1;
        }
        (getter ? property->get : property->put) = true;
    }

    std::string& m_error;
};

}  // namespace

std::optional<TypeLibrary> readTypeLibrary(const std::filesystem::path& file, std::string& error)
{
    const bool initialised = SUCCEEDED(::CoInitialize(nullptr));
    std::optional<TypeLibrary> library;
    {
        Ptr<ITypeLib> loaded;
        const HRESULT result = ::LoadTypeLibEx(file.c_str(), REGKIND_NONE, loaded.out());
        if (SUCCEEDED(result))
            library = Reader(error).read(loaded.get());
        else
            error = describeFailure("loading the type library of", file.u16string(), result);
    }
    if (initialised)
        ::CoUninitialize();
    return library;
}

std::optional<TypeLibrary> readTypeLibrary(ITypeLib& library, std::string& error)
{
    return Reader(error).read(&library);
}

}  // namespace com
