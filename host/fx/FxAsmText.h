#pragma once

// The text of an asm { } block on its way to the assembler and back:
// literals the assembler cannot read, where each instruction sits in the
// file, and the assembler's messages placed in the file. Platform-free.

#include <cstdint>
#include <string>
#include <vector>

#include "host/fx/FxSyntax.h"

namespace fx {

// Rewrites floating-point literals in exponent form ("-1.5500992e-006") as
// plain decimals with the same digits; newlines stay where they are. False
// with a message in `error` for an exponent too large for any float.
bool RewriteExponentLiterals(const std::string& text, std::string& out, std::string& error);

// The mnemonic and line (1-based, in the block's text) of each instruction
// after the version, in order.
struct AsmInstruction {
    std::string mnemonic;
    int line = 1;
    int column = 1;
    size_t offset = 0; // of the mnemonic in the text
    size_t end = 0;    // of its operands: the next instruction, comment or line end
};
std::vector<AsmInstruction> ListInstructions(const std::string& text);

// Tokens to put into an assembled shader: a whole instruction before
// instruction `instruction`, or operands appended to it.
struct TokenInsert {
    int instruction = 0;
    bool operands = false;
    std::vector<uint32_t> tokens;
};

// The text for the assembler underneath, which reads neither exponent
// literals, nor "dcl vPos" and "dcl vFace", nor the constant operands of
// sincos in ps_2_0: those are taken out of the text (lines stay where they
// are) and come back as `inserts` for InsertTokens. False with a message in
// `error` when the text cannot be prepared.
bool PrepareAsm(const std::string& text, std::string& out, std::vector<TokenInsert>& inserts,
                std::string& error);

// Puts the inserts into the assembled tokens.
void InsertTokens(std::vector<uint32_t>& tokens, const std::vector<TokenInsert>& inserts);

// Where line `line`, column `column` of a block that opens at `block` lies
// in the file.
Position PlaceInBlock(const Position& block, int line, int column = 1);

// The assembler's messages ("Line N: text") as compile errors at their place
// in the file; lines without a number are placed at the block.
std::string PlaceAssemblerMessages(const std::string& messages, const Position& block);

} // namespace fx
