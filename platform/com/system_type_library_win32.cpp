#include "platform/com/system_type_library.h"

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace com {

std::u16string portableName(std::u16string_view text)
{
    static constexpr std::u16string_view kTurkish = u"çÇğĞıİöÖşŞüÜ";
    static constexpr std::u16string_view kBase = u"cCgGiIoOsSuU";
    std::u16string carried;
    for (const char16_t c : text) {
        const auto turkish = kTurkish.find(c);
        carried += c < 0x80 ? c : turkish != std::u16string_view::npos ? kBase[turkish] : u'_';
    }
    return carried;
}

namespace {

// A COM interface pointer released when it goes.
template <typename T>
class Held {
public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    T** out() { return &m_pointer; }
    T* operator->() const { return m_pointer; }
    T* get() const { return m_pointer; }

private:
    T* m_pointer = nullptr;
};

// A text as the file carries it: in ASCII, which every code page reads alike.
class Carried {
public:
    explicit Carried(std::u16string_view text) : m_text(portableName(text)) {}
    operator LPOLESTR() { return const_cast<LPOLESTR>(reinterpret_cast<const wchar_t*>(m_text.c_str())); }

private:
    std::u16string m_text;
};

std::string failed(const char* step, std::u16string_view name, HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    std::string text(step);
    text += " ";
    for (const char16_t c : name)
        text += c < 0x80 ? static_cast<char>(c) : '?';
    return text + " failed: " + code;
}

// The writer, one type after another; the first failure stops it.
class Writer {
public:
    Writer(const TypeLibrary& library, std::string& error) : m_library(library), m_error(error) {}
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer()
    {
        for (const auto& [name, info] : m_created)
            info->Release();
    }

    bool write(const std::filesystem::path& file)
    {
        if (!check(::CreateTypeLib2(SYS_WIN64, file.c_str(), m_target.out()), "CreateTypeLib2", m_library.name)
            || !check(::LoadRegTypeLib(IID_StdOle, 2, 0, 0, m_stdole.out()), "loading stdole2", m_library.name)
            || !check(m_stdole->GetTypeInfoOfGuid(IID_IDispatch, m_dispatch.out()), "finding IDispatch", u"")) {
            return false;
        }
        m_target->SetGuid(m_library.guid.as<GUID>());
        m_target->SetName(Carried(m_library.name));
        m_target->SetVersion(m_library.majorVersion, m_library.minorVersion);
        m_target->SetLcid(m_library.lcid);
        m_target->SetDocString(Carried(m_library.helpString));
        m_target->SetLibFlags(m_library.flags);
        // Every type is made first, in the library's order; each is then filled once the types
        // it refers to are: enumerations, interfaces, classes.
        for (const auto& type : m_library.types) {
            if (!create(type))
                return false;
        }
        for (const auto kind : {TypeDescription::Kind::Enumeration, TypeDescription::Kind::Dispatch,
                                TypeDescription::Kind::CoClass}) {
            for (const auto& type : m_library.types) {
                if (type.kind == kind && !add(type))
                    return false;
            }
        }
        return check(m_target->SaveAllChanges(), "saving", m_library.name);
    }

private:
    bool check(HRESULT result, const char* step, const std::u16string& name)
    {
        if (SUCCEEDED(result))
            return true;
        m_error = failed(step, name, result);
        return false;
    }

    // A dual interface is its vtable interface, which the system also offers as a dispatch
    // interface; a plain one is a dispatch interface alone.
    static TYPEKIND kindOf(const TypeDescription& type)
    {
        switch (type.kind) {
        case TypeDescription::Kind::Enumeration:
            return TKIND_ENUM;
        case TypeDescription::Kind::CoClass:
            return TKIND_COCLASS;
        case TypeDescription::Kind::Dispatch:
            break;
        }
        return (type.flags & TYPEFLAG_FDUAL) ? TKIND_INTERFACE : TKIND_DISPATCH;
    }

    bool create(const TypeDescription& type)
    {
        ICreateTypeInfo* info = nullptr;
        if (!check(m_target->CreateTypeInfo(Carried(type.name), kindOf(type), &info), "creating", type.name))
            return false;
        m_created.emplace(type.name, info);
        info->SetGuid(type.guid.as<GUID>());
        info->SetTypeFlags(type.flags);
        return true;
    }

    bool reference(ICreateTypeInfo* from, ITypeInfo* to, HREFTYPE* handle, const std::u16string& name)
    {
        return check(from->AddRefTypeInfo(to, handle), "referring to", name);
    }

    // The type of a property: one of the library's own types, or a base type by its name.
    bool typeOf(ICreateTypeInfo* info, const std::u16string& name, TYPEDESC& type)
    {
        static const std::map<std::u16string, VARTYPE> base{
            {u"Long", VT_I4}, {u"Integer", VT_I2}, {u"String", VT_BSTR}, {u"Boolean", VT_BOOL}, {u"Double", VT_R8}};
        if (const auto found = base.find(name); found != base.end()) {
            type.vt = found->second;
            return true;
        }
        const auto own = m_created.find(name);
        if (own == m_created.end()) {
            m_error = failed("finding the type", name, E_INVALIDARG);
            return false;
        }
        Held<ITypeInfo> target;
        if (!check(own->second->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(target.out())), "reading", name))
            return false;
        type.vt = VT_USERDEFINED;
        return reference(info, target.get(), &type.hreftype, name);
    }

    bool add(const TypeDescription& type)
    {
        switch (type.kind) {
        case TypeDescription::Kind::Enumeration:
            return addEnumeration(type);
        case TypeDescription::Kind::Dispatch:
            return addDispatch(type);
        case TypeDescription::Kind::CoClass:
            return addClass(type);
        }
        return false;
    }

    bool addEnumeration(const TypeDescription& type)
    {
        ICreateTypeInfo* info = m_created.at(type.name);
        for (std::size_t i = 0; i < type.constants.size(); ++i) {
            VARIANT value;
            value.vt = VT_I4;
            value.lVal = type.constants[i].second;
            VARDESC constant{};
            constant.memid = static_cast<MEMBERID>(0x40000000 + i);
            constant.lpvarValue = &value;
            constant.elemdescVar.tdesc.vt = VT_I4;
            constant.varkind = VAR_CONST;
            const auto index = static_cast<UINT>(i);
            if (!check(info->AddVarDesc(index, &constant), "adding a constant to", type.name)
                || !check(info->SetVarName(index, Carried(type.constants[i].first)), "naming a constant of", type.name))
                return false;
        }
        return check(info->LayOut(), "laying out", type.name);
    }

    // Interfaces derive from IDispatch.
    bool addDispatch(const TypeDescription& type)
    {
        ICreateTypeInfo* info = m_created.at(type.name);
        HREFTYPE dispatch = 0;
        if (!reference(info, m_dispatch.get(), &dispatch, type.name)
            || !check(info->AddImplType(0, dispatch), "deriving", type.name))
            return false;
        UINT index = 0;
        for (const auto& property : type.properties) {
            TYPEDESC valueType{};
            if (!typeOf(info, property.type, valueType))
                return false;
            for (const bool getter : {true, false}) {
                if (getter ? !property.get : !property.put)
                    continue;
                TYPEDESC pointer{};
                pointer.vt = VT_PTR;
                pointer.lptdesc = &valueType;
                ELEMDESC parameter{};
                parameter.tdesc = getter ? pointer : valueType;
                parameter.paramdesc.wParamFlags = getter ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN;
                FUNCDESC function{};
                function.memid = property.id;
                function.funckind = FUNC_PUREVIRTUAL;
                function.invkind = getter ? INVOKE_PROPERTYGET : INVOKE_PROPERTYPUT;
                function.callconv = CC_STDCALL;
                function.cParams = 1;
                function.lprgelemdescParam = &parameter;
                function.elemdescFunc.tdesc.vt = VT_HRESULT;
                function.wFuncFlags = property.flags;
                Carried name(property.name);
                LPOLESTR names[] = {name};
                if (!check(info->AddFuncDesc(index, &function), "adding a property to", type.name)
                    || !check(info->SetFuncAndParamNames(index, names, 1), "naming a property of", type.name))
                    return false;
                ++index;
            }
        }
        return check(info->LayOut(), "laying out", type.name);
    }

    bool addClass(const TypeDescription& type)
    {
        ICreateTypeInfo* info = m_created.at(type.name);
        const std::pair<const std::u16string*, INT> parts[] = {
            {&type.defaultInterface, IMPLTYPEFLAG_FDEFAULT},
            {&type.defaultSource, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
        UINT index = 0;
        for (const auto& [name, flags] : parts) {
            if (name->empty())
                continue;
            TYPEDESC part{};
            if (!typeOf(info, *name, part) || !check(info->AddImplType(index, part.hreftype), "composing", type.name)
                || !check(info->SetImplTypeFlags(index, flags), "composing", type.name))
                return false;
            ++index;
        }
        return check(info->LayOut(), "laying out", type.name);
    }

    const TypeLibrary& m_library;
    std::string& m_error;
    Held<ICreateTypeLib2> m_target;
    Held<ITypeLib> m_stdole;
    Held<ITypeInfo> m_dispatch;
    std::map<std::u16string, ICreateTypeInfo*> m_created;  // the types written so far, by name
};


// What the system reads back, for the members a description holds.
class Reader {
public:
    explicit Reader(std::string& error) : m_error(error) {}

    std::optional<TypeLibrary> read(const std::filesystem::path& file)
    {
        Held<ITypeLib> library;
        const HRESULT loaded = ::LoadTypeLibEx(file.c_str(), REGKIND_NONE, library.out());
        if (FAILED(loaded)) {
            m_error = failed("loading the type library of", file.u16string(), loaded);
            return std::nullopt;
        }
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
            Held<ITypeInfo> info;
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
            Held<ITypeInfo> target;
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
        constexpr std::uint16_t kDescribed = TYPEFLAG_FHIDDEN | TYPEFLAG_FCONTROL | TYPEFLAG_FDUAL
                                             | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
        std::uint16_t flags = attributes.wTypeFlags;
        HREFTYPE vtable = 0;
        Held<ITypeInfo> view;
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
                Held<ITypeInfo> part;
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
        const TYPEDESC& value = function.cParams > 0 ? function.lprgelemdescParam[function.cParams - 1].tdesc
                                                      : function.elemdescFunc.tdesc;
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

bool writeTypeLibrary(const TypeLibrary& library, const std::filesystem::path& file, std::string& error)
{
    const bool initialised = SUCCEEDED(::CoInitialize(nullptr));
    bool written = false;
    {
        Writer writer(library, error);
        written = writer.write(file);
    }
    if (initialised)
        ::CoUninitialize();
    return written;
}


std::optional<TypeLibrary> readTypeLibrary(const std::filesystem::path& file, std::string& error)
{
    const bool initialised = SUCCEEDED(::CoInitialize(nullptr));
    std::optional<TypeLibrary> library = Reader(error).read(file);
    if (initialised)
        ::CoUninitialize();
    return library;
}

}  // namespace com
