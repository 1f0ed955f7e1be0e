// Flow control: blocks open and close in pairs, nesting and counts stay in
// the profile's limits, loop counts from defi are in range, and a
// subroutine chain is no deeper than the call nesting allows.

#include "host/fx/ShaderRules.h"

#include <algorithm>
#include <functional>

namespace fx {
namespace {

struct Limits {
    int staticCount; // flow instructions in all; 0: no limit
    int staticDepth; // nesting of if b#
    int dynamicDepth;
    int loopDepth; // loop and rep
    int callDepth;
};

// From the flow-control nesting pages: vs_2_0 and the shader model 3 minimums.
Limits LimitsOf(Profile profile) {
    if (profile == Profile::Vs20)
        return {16, 16, 0, 1, 1};
    return {0, 24, 24, 4, 4};
}

const char* Closer(FlowEffect opener) {
    switch (opener) {
    case FlowEffect::Loop:
        return "endloop";
    case FlowEffect::Rep:
        return "endrep";
    default:
        return "endif";
    }
}

} // namespace

bool ShaderRules::Dynamic() const {
    return std::any_of(m_blocks.begin(), m_blocks.end(), [](const Block& b) { return b.dynamic; });
}

bool ShaderRules::InLoop() const {
    return m_subroutine >= 0 || std::any_of(m_blocks.begin(), m_blocks.end(), [](const Block& b) {
               return b.opener == FlowEffect::Loop;
           });
}

void ShaderRules::EndMain() {
    if (m_mainEnded)
        return;
    m_mainEnded = true;
    m_depthAtMainEnd = m_depthEveryPath;
}

bool ShaderRules::FlowCounts(int staticCount) {
    const Limits limits = LimitsOf(m_profile);
    m_staticCount += staticCount;
    if (limits.staticCount > 0 && m_staticCount > limits.staticCount)
        return Fail("X5111", "too many flow-control instructions (" +
                                 std::to_string(m_staticCount) + "): " + m_name + " allows " +
                                 std::to_string(limits.staticCount));
    if (m_loopDepth > limits.loopDepth)
        return Fail("X5111", "loop and rep nest " + std::to_string(m_loopDepth) + " deep: " +
                                 m_name + " allows " + std::to_string(limits.loopDepth));
    if (m_staticDepth > limits.staticDepth)
        return Fail("X5111", "if blocks nest " + std::to_string(m_staticDepth) + " deep: " +
                                 m_name + " allows " + std::to_string(limits.staticDepth));
    if (m_dynamicDepth > limits.dynamicDepth)
        return Fail("X5111", "dynamic flow control nests " + std::to_string(m_dynamicDepth) +
                                 " deep: " + m_name + " allows " +
                                 std::to_string(limits.dynamicDepth));
    return true;
}

bool ShaderRules::Flow() {
    const DecodedInstruction& ins = *m_ins;
    const FlowEffect flow = ins.info->flow;
    if (flow == FlowEffect::None)
        return true;
    if (m_mainEnded && m_subroutine < 0 && flow != FlowEffect::Label)
        return Fail("X5111", "instructions after the main program's ret belong to a label");
    auto loopCount = [&](const DecodedOperand& i, bool loop) {
        if (i.type != RegisterType::ConstInt || !m_intDefined[i.number & 15])
            return true; // set at run time
        const std::array<int, 4>& v = m_intVectors[i.number & 15];
        const bool countOk = v[0] >= 0 && v[0] <= 255;
        const bool startOk = !loop || (v[1] >= 0 && v[1] <= 255);
        const bool stepOk = !loop || (v[2] >= -128 && v[2] <= 127);
        if (countOk && startOk && stepOk)
            return true;
        return Fail("X5111", "i" + std::to_string(i.number) +
                                 (loop ? " gives a loop count or start outside 0 to 255 or a step "
                                         "outside -128 to 127"
                                       : " gives a repeat count outside 0 to 255"));
    };
    auto close = [&](FlowEffect opener, const char* name) {
        if (m_blocks.empty() || m_blocks.back().opener != opener) {
            const bool ifCloser = opener == FlowEffect::If;
            const bool ifOpen = !m_blocks.empty() && (m_blocks.back().opener == FlowEffect::If ||
                                                      m_blocks.back().opener == FlowEffect::IfC);
            if (!(ifCloser && ifOpen)) {
                if (m_blocks.empty())
                    return Fail("X5111", std::string(name) + " without an open block");
                return Fail("X5111", std::string(name) + " closes a block that " +
                                         Closer(m_blocks.back().opener) + " should close");
            }
        }
        const Block b = m_blocks.back();
        m_blocks.pop_back();
        if (b.opener == FlowEffect::Loop || b.opener == FlowEffect::Rep) {
            --m_loopDepth;
            m_depthEveryPath = b.depthBefore; // it may run no time at all
        } else {
            if (b.dynamic)
                --m_dynamicDepth;
            else
                --m_staticDepth;
            m_depthEveryPath = b.depthBefore || (b.seenElse && b.depthThen && m_depthEveryPath);
        }
        return true;
    };
    switch (flow) {
    case FlowEffect::If:
    case FlowEffect::IfC: {
        const bool dynamic =
            flow == FlowEffect::IfC || ins.sources[0].type == RegisterType::Predicate;
        m_blocks.push_back({flow, dynamic, false, m_depthEveryPath, false});
        if (dynamic)
            ++m_dynamicDepth;
        else
            ++m_staticDepth;
        return FlowCounts(dynamic ? 0 : 1);
    }
    case FlowEffect::Else: {
        if (m_blocks.empty() ||
            (m_blocks.back().opener != FlowEffect::If && m_blocks.back().opener != FlowEffect::IfC))
            return Fail("X5111", "else without an open if");
        Block& b = m_blocks.back();
        if (b.seenElse)
            return Fail("X5111", "a second else in one if block");
        b.seenElse = true;
        b.depthThen = m_depthEveryPath;
        m_depthEveryPath = b.depthBefore;
        return FlowCounts(b.dynamic ? 0 : 1);
    }
    case FlowEffect::EndIf:
        return close(FlowEffect::If, "endif");
    case FlowEffect::Loop:
    case FlowEffect::Rep:
        if (!loopCount(ins.sources[flow == FlowEffect::Loop ? 1 : 0], flow == FlowEffect::Loop))
            return false;
        m_blocks.push_back({flow, false, false, m_depthEveryPath, false});
        ++m_loopDepth;
        return FlowCounts(1);
    case FlowEffect::EndLoop:
        return close(FlowEffect::Loop, "endloop");
    case FlowEffect::EndRep:
        return close(FlowEffect::Rep, "endrep");
    case FlowEffect::Break:
    case FlowEffect::BreakC:
    case FlowEffect::BreakP: {
        auto loop = std::find_if(m_blocks.rbegin(), m_blocks.rend(), [](const Block& b) {
            return b.opener == FlowEffect::Loop || b.opener == FlowEffect::Rep;
        });
        if (loop == m_blocks.rend())
            return Fail("X5111", std::string(ins.info->mnemonic) + " outside a loop or rep block");
        // The rest of the loop depends on the pixel.
        if (flow != FlowEffect::Break)
            loop->dynamic = true;
        if (flow == FlowEffect::BreakC && m_dynamicDepth + 1 > LimitsOf(m_profile).dynamicDepth)
            return Fail("X5111", "dynamic flow control nests too deep for break_comp");
        return true;
    }
    case FlowEffect::Call:
    case FlowEffect::CallNz: {
        const uint32_t label = ins.sources[0].number;
        m_calls[static_cast<size_t>(m_subroutine + 1)].push_back(static_cast<int>(label));
        return FlowCounts(1);
    }
    case FlowEffect::Ret:
        if (!m_blocks.empty())
            return m_subroutine >= 0 ? true : Fail("X5111", "ret inside an open block");
        if (m_subroutine < 0) {
            if (!FinishFlow())
                return false;
            EndMain();
        }
        return true;
    case FlowEffect::Label: {
        if (!m_blocks.empty())
            return Fail("X5111", "label inside an open " +
                                     std::string(Closer(m_blocks.back().opener)) + " block");
        if (m_subroutine < 0)
            EndMain();
        const int label = static_cast<int>(ins.sources[0].number);
        if (std::find(m_labels.begin(), m_labels.end(), label) != m_labels.end())
            return Fail("X5111", "label l" + std::to_string(label) + " is defined twice");
        m_labels.push_back(label);
        m_subroutine = label;
        if (m_calls.size() < static_cast<size_t>(label) + 2)
            m_calls.resize(static_cast<size_t>(label) + 2);
        return true;
    }
    default:
        return true;
    }
}

// Blocks are all closed, every call reaches a label, and no chain of calls
// is deeper than the profile allows (nor calls itself).
bool ShaderRules::FinishFlow() {
    if (!m_blocks.empty())
        return Fail("X5111", "a block is left open: " +
                                 std::string(Closer(m_blocks.back().opener)) + " is missing");
    if (m_ins && m_ins->info->flow == FlowEffect::Ret)
        return true; // the labels come after the main program's ret
    const int limit = LimitsOf(m_profile).callDepth;
    std::vector<int> state(m_calls.size(), 0); // 0 new, 1 on the path, 2 done: depth + 2
    std::function<int(int)> depth = [&](int node) -> int {
        const size_t at = static_cast<size_t>(node + 1);
        if (at >= m_calls.size())
            return -1;
        if (state[at] == 1)
            return 1000; // a cycle never ends
        if (state[at] >= 2)
            return state[at] - 2;
        state[at] = 1;
        int deepest = 0;
        for (int callee : m_calls[at]) {
            if (std::find(m_labels.begin(), m_labels.end(), callee) == m_labels.end())
                return -2 - callee;
            const int d = depth(callee);
            if (d < 0 || d >= 1000)
                return d;
            deepest = std::max(deepest, d + 1);
        }
        state[at] = deepest + 2;
        return deepest;
    };
    const int d = depth(-1);
    if (d <= -2)
        return Fail("X5111", "call to l" + std::to_string(-2 - d) + ", which no label defines");
    if (d >= 1000)
        return Fail("X5111", "a subroutine calls itself");
    if (d > limit)
        return Fail("X5111", "calls nest " + std::to_string(d) + " deep: " + m_name + " allows " +
                                 std::to_string(limit));
    return true;
}

} // namespace fx
