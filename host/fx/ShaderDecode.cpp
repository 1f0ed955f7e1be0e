#include "host/fx/ShaderDecode.h"

namespace fx {
namespace {

class Reader {
  public:
    Reader(const uint32_t* tokens, size_t begin, size_t end)
        : m_tokens(tokens), m_at(begin), m_end(end) {}

    bool Empty() const { return m_at >= m_end; }
    bool Take(uint32_t& token) {
        if (Empty())
            return false;
        token = m_tokens[m_at++];
        return true;
    }

    // A register operand and, when it is indexed, the register token after it.
    bool Operand(DecodedOperand& o, bool destination) {
        if (!Take(o.token))
            return false;
        o.type = RegisterTypeOf(o.token);
        o.number = RegisterNumberOf(o.token);
        o.relative = IsRelative(o.token);
        if (destination) {
            o.writeMask = WriteMaskOf(o.token);
            o.modifiers = ResultModifiersOf(o.token);
            o.shift = ResultShiftOf(o.token);
        } else {
            o.swizzle = SwizzleOf(o.token);
            o.modifier = SourceModifierOf(o.token);
        }
        if (!o.relative)
            return true;
        uint32_t address = 0;
        if (!Take(address))
            return false;
        o.address.token = address;
        o.address.type = RegisterTypeOf(address);
        o.address.number = RegisterNumberOf(address);
        o.address.component = SwizzleComponent(SwizzleOf(address), 0);
        return true;
    }

  private:
    const uint32_t* m_tokens;
    size_t m_at;
    size_t m_end;
};

bool Fail(DecodeError& error, int instruction, const char* text) {
    error.instruction = instruction;
    error.text = text;
    return false;
}

// The operands of one instruction, from its `length` tokens.
bool DecodeOperands(Reader& in, DecodedInstruction& ins, DecodeError& error) {
    const OpcodeInfo* info = ins.info;
    if (!info)
        return true; // the checks refuse it by its opcode
    if (ins.opcode == Opcode::Dcl) {
        if (!in.Take(ins.dclToken) || !in.Operand(ins.destination, true))
            return Fail(error, ins.index, "malformed declaration");
        ins.hasDestination = true;
        ins.usage = DclUsageOf(ins.dclToken);
        ins.usageIndex = DclUsageIndexOf(ins.dclToken);
        ins.samplerType = SamplerTypeOf(ins.dclToken);
        return true;
    }
    if (info->kind == OpcodeClass::Setup) { // def, defi, defb
        if (!in.Operand(ins.destination, true))
            return Fail(error, ins.index, "malformed definition");
        ins.hasDestination = true;
        const int values = ins.opcode == Opcode::DefB ? 1 : 4;
        for (int i = 0; i < values; ++i) {
            if (!in.Take(ins.values[static_cast<size_t>(i)]))
                return Fail(error, ins.index, "malformed definition");
        }
        ins.valueCount = values;
        return true;
    }
    if (info->destinations > 0) {
        if (!in.Operand(ins.destination, true))
            return Fail(error, ins.index, "malformed instruction: no destination");
        ins.hasDestination = true;
    }
    if (ins.predicated) {
        if (!in.Operand(ins.predicate, false))
            return Fail(error, ins.index, "malformed instruction: no predicate register");
        ins.hasPredicate = true;
    }
    while (!in.Empty()) {
        DecodedOperand source;
        if (!in.Operand(source, false))
            return Fail(error, ins.index, "malformed relative address: no address register");
        ins.sources.push_back(source);
    }
    return true;
}

} // namespace

bool DecodeShader(const uint32_t* tokens, size_t count, DecodedShader& shader, DecodeError& error) {
    shader = DecodedShader{};
    error = DecodeError{};
    if (count == 0)
        return Fail(error, -1, "empty shader");
    shader.version = tokens[0];
    if (!IsPixelVersion(shader.version) && !IsVertexVersion(shader.version))
        return Fail(error, -1, "not a shader: no version token");
    // Before shader model 2 the instruction token carries no length.
    if (VersionMajor(shader.version) < 2)
        return Fail(error, -1, "shader model 1 streams are not decoded");
    size_t pos = 1;
    int index = 0;
    while (pos < count) {
        const uint32_t head = tokens[pos];
        const Opcode opcode = OpcodeOf(head);
        if (opcode == Opcode::End)
            return true;
        if (opcode == Opcode::Comment) {
            const size_t size = CommentSizeOf(head);
            if (size >= count - pos)
                return Fail(error, index, "truncated comment");
            pos += 1 + size;
            continue;
        }
        const size_t length = LengthOf(head);
        if (length >= count - pos)
            return Fail(error, index, "truncated instruction");
        DecodedInstruction ins;
        ins.index = index;
        ins.offset = pos;
        ins.token = head;
        ins.opcode = opcode;
        ins.control = ControlOf(head);
        ins.predicated = IsPredicated(head);
        ins.coissue = IsCoissued(head);
        ins.info = FindOpcode(opcode, ins.control);
        Reader in(tokens, pos + 1, pos + 1 + length);
        if (!DecodeOperands(in, ins, error))
            return false;
        if (ins.info && !in.Empty())
            return Fail(error, index, "malformed instruction: tokens left over");
        shader.instructions.push_back(std::move(ins));
        pos += 1 + length;
        ++index;
    }
    return Fail(error, -1, "shader has no end token");
}

} // namespace fx
