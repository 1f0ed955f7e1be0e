#include "tests/doubles/CallLog.h"

#include <algorithm>

namespace doubles {

CallLog& CallLog::Get() {
    static CallLog log;
    return log;
}

void CallLog::Reset() {
    m_calls.clear();
    m_faults.clear();
}

void CallLog::FailNth(size_t n, HRESULT hr) {
    m_faults.push_back({std::string(), n, hr, false, n == 0});
}

void CallLog::FailNthOf(const std::string& name, size_t n, HRESULT hr) {
    m_faults.push_back({name, n, hr, false, n == 0});
}

void CallLog::FailAll(const std::string& name, HRESULT hr) {
    m_faults.push_back({name, 0, hr, true, false});
}

HRESULT CallLog::Record(Call call) {
    if (m_silent)
        return S_OK;
    HRESULT result = S_OK;
    if (call.faultable) {
        for (Fault& fault : m_faults) {
            if (fault.spent || (!fault.name.empty() && fault.name != call.name))
                continue;
            const bool fires = fault.every || --fault.remaining == 0;
            if (!fires)
                continue;
            fault.spent = !fault.every;
            if (SUCCEEDED(result))
                result = fault.hr;
        }
    }
    call.injected = result;
    m_calls.push_back(std::move(call));
    return result;
}

std::vector<Call> CallLog::Named(const std::string& name) const {
    std::vector<Call> found;
    for (const Call& call : m_calls)
        if (call.name == name)
            found.push_back(call);
    return found;
}

size_t CallLog::Count(const std::string& name) const {
    return static_cast<size_t>(std::count_if(m_calls.begin(), m_calls.end(),
                                             [&](const Call& c) { return c.name == name; }));
}

size_t CallLog::FaultableCount() const {
    return static_cast<size_t>(
        std::count_if(m_calls.begin(), m_calls.end(), [](const Call& c) { return c.faultable; }));
}

const Call* CallLog::Injected() const {
    for (const Call& call : m_calls)
        if (FAILED(call.injected))
            return &call;
    return nullptr;
}

std::string CallLog::Trace() const {
    std::string trace;
    for (const Call& call : m_calls) {
        trace += call.name;
        if (!call.text.empty())
            trace += "(" + call.text + ")";
        else if (!call.wtext.empty())
            trace += "(" + std::string(call.wtext.begin(), call.wtext.end()) + ")";
        trace += "\n";
    }
    return trace;
}

HRESULT Unexpected(const char* name) {
    Call call;
    call.name = name;
    call.faultable = false;
    CallLog::Get().Record(std::move(call));
    return E_NOTIMPL;
}

} // namespace doubles
