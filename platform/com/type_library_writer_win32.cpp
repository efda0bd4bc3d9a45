#include "platform/com/type_library_win32.h"

#include "platform/com/com_object_win32.h"
#include "platform/com/com_ptr.h"

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

// A text as the file carries it: in ASCII, which every code page reads alike.
class Carried {
public:
    explicit Carried(std::u16string_view text) : m_text(portableName(text)) {}
    operator LPOLESTR() { return const_cast<LPOLESTR>(reinterpret_cast<const wchar_t*>(m_text.c_str())); }

private:
    std::u16string m_text;
};

// The writer, one type after another; the first failure stops it.
class Writer {
public:
    Writer(const TypeLibrary& library, std::string& error) : m_library(library), m_error(error) {}
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

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
        for (const auto kind :
             {TypeDescription::Kind::Enumeration, TypeDescription::Kind::Dispatch, TypeDescription::Kind::CoClass}) {
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
        m_error = describeFailure(step, name, result);
        return false;
    }

    // A dual interface is its vtable interface, which the system also offers as a dispatch
    // interface; a plain one is a dispatch interface alone.
    static TYPEKIND kindOf(const TypeDescription& type)
    {
        switch (type.kind) {
        case TypeDescription::Kind::Enumeration: return TKIND_ENUM;
        case TypeDescription::Kind::CoClass: return TKIND_COCLASS;
        case TypeDescription::Kind::Dispatch: break;
        }
        return (type.flags & TYPEFLAG_FDUAL) ? TKIND_INTERFACE : TKIND_DISPATCH;
    }

    bool create(const TypeDescription& type)
    {
        Ptr<ICreateTypeInfo> made;
        if (!check(m_target->CreateTypeInfo(Carried(type.name), kindOf(type), made.out()), "creating", type.name))
            return false;
        ICreateTypeInfo* info = m_created.emplace(type.name, std::move(made)).first->second.get();
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
        static const std::map<std::u16string, VARTYPE> base{{u"Long", VT_I4},
                                                            {u"Integer", VT_I2},
                                                            {u"String", VT_BSTR},
                                                            {u"Boolean", VT_BOOL},
                                                            {u"Double", VT_R8}};
        if (const auto found = base.find(name); found != base.end()) {
            type.vt = found->second;
            return true;
        }
        const auto own = m_created.find(name);
        if (own == m_created.end()) {
            m_error = describeFailure("finding the type", name, E_INVALIDARG);
            return false;
        }
        Ptr<ITypeInfo> target;
        if (!check(own->second->QueryInterface(IID_ITypeInfo, target.outVoid()), "reading", name))
            return false;
        type.vt = VT_USERDEFINED;
        return reference(info, target.get(), &type.hreftype, name);
    }

    bool add(const TypeDescription& type)
    {
        switch (type.kind) {
        case TypeDescription::Kind::Enumeration: return addEnumeration(type);
        case TypeDescription::Kind::Dispatch: return addDispatch(type);
        case TypeDescription::Kind::CoClass: return addClass(type);
        }
        return false;
    }

    bool addEnumeration(const TypeDescription& type)
    {
        ICreateTypeInfo* info = m_created.at(type.name).get();
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
        ICreateTypeInfo* info = m_created.at(type.name).get();
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
        ICreateTypeInfo* info = m_created.at(type.name).get();
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
    Ptr<ICreateTypeLib2> m_target;
    Ptr<ITypeLib> m_stdole;
    Ptr<ITypeInfo> m_dispatch;
    std::map<std::u16string, Ptr<ICreateTypeInfo>> m_created;  // the types written so far, by name
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

}  // namespace com
