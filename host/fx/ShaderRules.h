#pragma once

// The shader checks by family, sharing what they learn on one walk of the
// decoded instructions. Each family lives in its own ShaderRules*.cpp; the
// walk itself is CheckShader in FxShaderCheck.cpp. Platform-free.

#include <array>
#include <map>
#include <string>
#include <vector>

#include "host/fx/FxShaderCheck.h"
#include "host/fx/ShaderDecode.h"

namespace fx {

class ShaderRules {
  public:
    explicit ShaderRules(Profile profile);

    // Every rule for one instruction, in the order a reader would fix them.
    bool Check(const DecodedInstruction& ins, ShaderFault& fault);
    // What the whole shader must have done.
    bool Finish(ShaderFault& fault);
    // Before the walk: the temporaries each subroutine writes, so that a
    // call counts as writing them where the text has not reached the label.
    void FindSubroutineWrites(const std::vector<DecodedInstruction>& instructions);

  private:
    struct Block {
        FlowEffect opener; // If, IfC, Loop or Rep
        bool dynamic;
        bool seenElse;
        bool depthBefore; // oDepth written on every path when the block opened
        bool depthThen;   // ...and at the end of the if part
    };

    bool Fail(const char* code, const std::string& text);
    std::string Name(RegisterType type, uint32_t number) const;
    std::string Range(RegisterType type) const;
    int RegisterCount(RegisterType type) const;
    bool Dynamic() const;
    // Inside loop...endloop, or in a subroutine (a loop may call it).
    bool InLoop() const;
    int Components(const DecodedOperand& source, int index) const;

    // Instructions and slots (ShaderRulesInstructions.cpp).
    bool InstructionExists();
    bool Slots();
    bool OperandCounts();
    // Registers, their ranges and read ports (ShaderRulesRegisters.cpp).
    bool Register(const DecodedOperand& o, int extra);
    bool Registers();
    bool ReadPorts();
    // Declarations and definitions (ShaderRulesDeclarations.cpp).
    bool Setup();
    bool Declared(const DecodedOperand& o, bool write);
    bool TemporariesWritten();
    // Dependent reads and gradients (ShaderRulesTextures.cpp).
    bool TextureOperands();
    bool DependentReads();
    bool Gradients();
    void TrackDependency();
    // Flow control (ShaderRulesFlow.cpp).
    bool Flow();
    bool FlowCounts(int staticCount);
    bool FinishFlow();
    void EndMain();
    // Outputs (ShaderRulesOutputs.cpp).
    bool Outputs();
    bool FinishOutputs();
    // Operand forms of single instructions (ShaderRulesOperands.cpp).
    bool Operands();
    bool Swizzles();
    bool Modifiers();
    bool DistinctRegisters();

    Profile m_profile;
    std::string m_name;
    ShaderFault* m_fault = nullptr;
    const DecodedInstruction* m_ins = nullptr;

    // Slots.
    int m_slots = 0;
    int m_arithmeticSlots = 0;
    int m_textureSlots = 0;
    // Declarations.
    bool m_instructionSeen = false;
    std::vector<std::array<bool, 2048>> m_declared;
    std::array<SamplerType, 16> m_samplerType = {};
    int m_positionOutput = -1;
    // defi: the values of each i# the shader defines.
    std::array<bool, 16> m_intDefined = {};
    std::array<std::array<int, 4>, 16> m_intVectors = {};
    // Temporaries: components written, and the dependent-read order each holds.
    std::array<int, 32> m_written = {};
    std::array<int, 32> m_order = {};
    // Per label: the components a call of it writes, its callees' included.
    std::map<int, std::array<int, 32>> m_subroutineWrites;
    // Flow control.
    std::vector<Block> m_blocks;
    int m_staticCount = 0;
    int m_loopDepth = 0;
    int m_staticDepth = 0;
    int m_dynamicDepth = 0;
    int m_subroutine = -1; // label number, -1 in the main program
    bool m_mainEnded = false;
    std::vector<std::vector<int>> m_calls; // per label + 1: labels it calls
    std::vector<int> m_labels;
    // Outputs.
    int m_colorWritten = 0;
    int m_positionWritten = 0;
    bool m_depthWritten = false;
    bool m_depthEveryPath = false;
    bool m_depthAtMainEnd = false;
};

} // namespace fx
