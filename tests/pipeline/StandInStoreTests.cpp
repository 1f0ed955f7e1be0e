// The stand-in pipeline library's store: named values, groups in order and
// values that vary with time.

#include "host/pipeline/ParameterStoreEditing.h"

#include "com/ComPtr.h"
#include "com/PropVariant.h"
#include "tests/support/TestSupport.h"

using hostpipeline::Value;
using quorvel::ComPtr;
using quorvel::UniquePropVariant;

namespace {

class StandInStore : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(PipelineCreateParameterStore(m_store.put()), S_OK);
        ASSERT_EQ(m_store.query_to(IID_IParameterStoreEditor, m_editor), S_OK);
    }
    void TearDown() override {
        m_editor.reset();
        ASSERT_EQ(m_store.detach()->Release(), 0u);
    }

    ComPtr<IParameter> Get(const wchar_t* name) {
        ComPtr<IParameter> p;
        EXPECT_EQ(m_store->GetParameter(name, p.put()), S_OK);
        return p;
    }
    float FloatAt(const wchar_t* name, double time) {
        UniquePropVariant v;
        EXPECT_EQ(Get(name)->GetValue(time, v.put()), S_OK);
        EXPECT_EQ(v.vt(), VT_R4);
        return v.get().fltVal;
    }

    ComPtr<IParameterStore> m_store;
    ComPtr<IParameterStoreEditor> m_editor;
};

TEST_F(StandInStore, ValuesReadBackByName) {
    Value i, f, s, b, vec;
    Value::Int(i, 10);
    Value::Float(f, 0.25f);
    ASSERT_EQ(Value::String(s, L"effect.fx"), S_OK);
    Value::Bool(b, true);
    ASSERT_EQ(Value::Vector(vec, {1, 2, 3}), S_OK);
    ASSERT_EQ(m_editor->SetValue(L"NumVerticesX", i.get()), S_OK);
    ASSERT_EQ(m_editor->SetValue(L"Scale", f.get()), S_OK);
    ASSERT_EQ(m_editor->SetValue(L"ShaderFilename", s.get()), S_OK);
    ASSERT_EQ(m_editor->SetValue(L"Flag", b.get()), S_OK);
    ASSERT_EQ(m_editor->SetValue(L"Offset", vec.get()), S_OK);

    UniquePropVariant v;
    ASSERT_EQ(Get(L"NumVerticesX")->GetValue(0.0, v.put()), S_OK);
    EXPECT_EQ(v.vt(), VT_I4);
    EXPECT_EQ(v.get().lVal, 10);
    ASSERT_EQ(Get(L"ShaderFilename")->GetValue(0.0, v.put()), S_OK);
    ASSERT_EQ(v.vt(), VT_BSTR);
    EXPECT_STREQ(v.get().bstrVal, L"effect.fx");
    ASSERT_EQ(Get(L"Flag")->GetValue(0.0, v.put()), S_OK);
    EXPECT_EQ(v.get().boolVal, VARIANT_TRUE);
    ASSERT_EQ(Get(L"Offset")->GetValue(0.0, v.put()), S_OK);
    ASSERT_EQ(v.vt(), VT_VECTOR | VT_R4);
    ASSERT_EQ(v.get().caflt.cElems, 3u);
    EXPECT_EQ(v.get().caflt.pElems[2], 3.0f);
    EXPECT_EQ(FloatAt(L"Scale", 0.0), 0.25f);

    // Names are exact; a missing one fails, and the out-pointer is nulled.
    IParameter* missing = reinterpret_cast<IParameter*>(1);
    EXPECT_TRUE(FAILED(m_store->GetParameter(L"scale", &missing)));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(m_store->GetParameter(nullptr, &missing), E_POINTER);
}

TEST_F(StandInStore, KeyframesInterpolateFloatsAndStepOtherKinds) {
    Value a, b, c;
    Value::Float(a, 0.0f);
    Value::Float(b, 1.0f);
    Value::Float(c, 0.0f);
    ASSERT_EQ(m_editor->AddKeyframe(L"Amount", 0.0, a.get()), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Amount", 0.5, b.get()), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Amount", 1.0, c.get()), S_OK);
    EXPECT_EQ(FloatAt(L"Amount", -1.0), 0.0f);
    EXPECT_EQ(FloatAt(L"Amount", 0.25), 0.5f);
    EXPECT_EQ(FloatAt(L"Amount", 0.5), 1.0f);
    EXPECT_EQ(FloatAt(L"Amount", 0.75), 0.5f);
    EXPECT_EQ(FloatAt(L"Amount", 2.0), 0.0f);

    Value v0, v1;
    ASSERT_EQ(Value::Vector(v0, {0, 10}), S_OK);
    ASSERT_EQ(Value::Vector(v1, {1, 20}), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Pos", 0.0, v0.get()), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Pos", 1.0, v1.get()), S_OK);
    UniquePropVariant v;
    ASSERT_EQ(Get(L"Pos")->GetValue(0.5, v.put()), S_OK);
    ASSERT_EQ(v.get().caflt.cElems, 2u);
    EXPECT_EQ(v.get().caflt.pElems[0], 0.5f);
    EXPECT_EQ(v.get().caflt.pElems[1], 15.0f);

    Value s0, s1;
    ASSERT_EQ(Value::String(s0, L"red"), S_OK);
    ASSERT_EQ(Value::String(s1, L"blue"), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Color", 0.0, s0.get()), S_OK);
    ASSERT_EQ(m_editor->AddKeyframe(L"Color", 1.0, s1.get()), S_OK);
    ASSERT_EQ(Get(L"Color")->GetValue(0.99, v.put()), S_OK);
    EXPECT_STREQ(v.get().bstrVal, L"red");
    ASSERT_EQ(Get(L"Color")->GetValue(1.0, v.put()), S_OK);
    EXPECT_STREQ(v.get().bstrVal, L"blue");

    // SetValue replaces every keyframe.
    ASSERT_EQ(m_editor->SetValue(L"Amount", b.get()), S_OK);
    EXPECT_EQ(FloatAt(L"Amount", 0.75), 1.0f);
}

TEST_F(StandInStore, GroupsEnumerateChildrenInOrder) {
    Value one, two, three;
    Value::Int(one, 1);
    Value::Float(two, 2.0f);
    ASSERT_EQ(Value::String(three, L"navy"), S_OK);
    ASSERT_EQ(m_editor->SetChildValue(L"Semantics", L"Strength", one.get()), S_OK);
    ASSERT_EQ(m_editor->SetChildValue(L"Semantics", L"Amount", two.get()), S_OK);
    ASSERT_EQ(m_editor->SetChildValue(L"Semantics", L"BorderColor", three.get()), S_OK);
    ASSERT_EQ(m_editor->SetChildValue(L"Semantics", L"Strength", two.get()), S_OK);

    ComPtr<IParameter> semantics = Get(L"Semantics");
    ComPtr<IParameterGroup> group;
    ASSERT_EQ(semantics.query_to(IID_IParameterGroup, group), S_OK);
    INT32 count = 0;
    ASSERT_EQ(group->GetCount(&count), S_OK);
    ASSERT_EQ(count, 3);
    const wchar_t* names[] = {L"Strength", L"Amount", L"BorderColor"};
    for (INT32 i = 0; i < count; ++i) {
        ComPtr<IParameter> child;
        ASSERT_EQ(group->GetItem(i, child.put()), S_OK);
        WCHAR name[kParameterNameCapacity];
        UINT32 capacity = kParameterNameCapacity;
        ASSERT_EQ(child->GetName(name, &capacity), S_OK);
        EXPECT_STREQ(name, names[i]);
        EXPECT_REF(child.get(), 2);
    }
    IParameter* none = reinterpret_cast<IParameter*>(1);
    EXPECT_EQ(group->GetItem(3, &none), E_INVALIDARG);
    EXPECT_EQ(none, nullptr);

    // A plain value is no group.
    ComPtr<IParameterGroup> notGroup;
    Value plain;
    Value::Int(plain, 3);
    ASSERT_EQ(m_editor->SetValue(L"NumVerticesY", plain.get()), S_OK);
    EXPECT_EQ(Get(L"NumVerticesY").query_to(IID_IParameterGroup, notGroup), E_NOINTERFACE);
    EXPECT_FALSE(notGroup);
}

TEST_F(StandInStore, GetNameFitsTheCallersBuffer) {
    const std::wstring longName(200, L'n');
    Value one;
    Value::Int(one, 1);
    ASSERT_EQ(m_editor->SetValue(longName.c_str(), one.get()), S_OK);
    WCHAR name[kParameterNameCapacity];
    UINT32 capacity = kParameterNameCapacity;
    EXPECT_EQ(Get(longName.c_str())->GetName(name, &capacity),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(name), longName.substr(0, kParameterNameCapacity - 1));
    EXPECT_EQ(capacity, 201u);
}

TEST_F(StandInStore, UnsetParameterReadsEmpty) {
    ASSERT_EQ(m_editor->SetChildValue(L"Group", L"Child", nullptr), E_POINTER);
    UniquePropVariant v;
    // The group itself holds no value.
    ASSERT_EQ(Get(L"Group")->GetValue(0.0, v.put()), S_OK);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(m_editor->Remove(L"Group"), S_OK);
    EXPECT_EQ(m_editor->Remove(L"Group"), S_FALSE);
}

} // namespace
