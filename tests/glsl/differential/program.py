"""Random well-formed GL transitions for differential testing, kept as small
trees so that a mismatch can be shrunk piece by piece.

Every program is total and tame where both renderers must agree: no
division by a value that can reach zero, square roots and logarithms of
positive values only, inverse trigonometry inside its domain, exponentials
of bounded arguments, constants small enough that no expression needs more
than a float's precision. Loops have constant bounds."""
import copy
import random


class Expr:
    """fmt is a format string over the children: "sin({0})"."""

    def __init__(self, type_, fmt, *children):
        self.type = type_
        self.fmt = fmt
        self.children = list(children)

    def text(self):
        return self.fmt.format(*(c.text() for c in self.children))

    def size(self):
        return 1 + sum(c.size() for c in self.children)


def lit(v):
    return Expr("float", "%s" % fmt_float(v))


def fmt_float(v):
    text = "%.3f" % v
    return text if "." in text else text + ".0"


class Decl:
    def __init__(self, type_, name, expr):
        self.type, self.name, self.expr = type_, name, expr

    def lines(self, indent):
        return ["%s%s %s = %s;" % (indent, self.type, self.name, self.expr.text())]


class Assign:
    def __init__(self, name, op, expr):
        self.name, self.op, self.expr = name, op, expr

    def lines(self, indent):
        return ["%s%s %s %s;" % (indent, self.name, self.op, self.expr.text())]


class If:
    def __init__(self, cond, then, otherwise):
        self.cond, self.then, self.otherwise = cond, then, otherwise

    def lines(self, indent):
        out = ["%sif (%s) {" % (indent, self.cond.text())]
        for s in self.then:
            out += s.lines(indent + "    ")
        if self.otherwise:
            out.append("%s} else {" % indent)
            for s in self.otherwise:
                out += s.lines(indent + "    ")
        out.append("%s}" % indent)
        return out


class For:
    def __init__(self, var, count, body):
        self.var, self.count, self.body = var, count, body

    def lines(self, indent):
        out = ["%sfor (int %s = 0; %s < %d; %s++) {" % (indent, self.var, self.var, self.count,
                                                      self.var)]
        for s in self.body:
            out += s.lines(indent + "    ")
        out.append("%s}" % indent)
        return out


class Break:
    def __init__(self, cond):
        self.cond = cond

    def lines(self, indent):
        return ["%sif (%s) break;" % (indent, self.cond.text())]


class Program:
    def __init__(self):
        self.uniforms = []  # (type, name, default text)
        self.functions = []  # (name, body expr over a, p)
        self.body = []
        self.result = None  # Expr of type vec4

    def text(self):
        out = ["// A generated transition for differential testing."]
        for type_, name, default in self.uniforms:
            out.append("uniform %s %s; // = %s" % (type_, name, default))
        out.append("")
        for name, expr in self.functions:
            out.append("float %s(float a, vec2 p) {" % name)
            out.append("    return %s;" % expr.text())
            out.append("}")
            out.append("")
        out.append("vec4 transition(vec2 uv) {")
        for s in self.body:
            out += s.lines("    ")
        out.append("    return %s;" % self.result.text())
        out.append("}")
        return "\n".join(out) + "\n"


class Generator:
    def __init__(self, seed):
        self.r = random.Random(seed)
        self.names = 0
        self.scope = [{"float": ["progress", "ratio", "uv.x", "uv.y"], "vec2": ["uv"]}]
        self.functions = []
        self.loop_vars = []

    def fresh(self, prefix):
        self.names += 1
        return "%s%d" % (prefix, self.names)

    def visible(self, type_):
        out = []
        for level in self.scope:
            out += level.get(type_, [])
        return out

    def constant(self, lo=-2.0, hi=2.0):
        return lit(round(self.r.uniform(lo, hi), 3))

    def leaf(self, type_):
        r = self.r
        if type_ == "float":
            choice = r.random()
            if choice < 0.25:
                return self.constant()
            if self.loop_vars and choice < 0.35:
                return Expr("float", "float(%s)" % r.choice(self.loop_vars))
            return Expr("float", r.choice(self.visible("float")))
        if r.random() < 0.2:
            return Expr("vec2", "vec2(%s, %s)" % (fmt_float(round(r.uniform(-1, 1), 3)),
                                                   fmt_float(round(r.uniform(-1, 1), 3))))
        return Expr("vec2", r.choice(self.visible("vec2")))

    def float_expr(self, depth):
        r = self.r
        if depth <= 0 or r.random() < 0.2:
            return self.leaf("float")
        f = lambda: self.float_expr(depth - 1)
        v = lambda: self.vec2_expr(depth - 1)
        forms = [
            lambda: Expr("float", "({0} + {1})", f(), f()),
            lambda: Expr("float", "({0} - {1})", f(), f()),
            lambda: Expr("float", "({0} * {1})", f(), self.constant(-1.5, 1.5)),
            lambda: Expr("float", "({0} * {1})", f(), f()),
            lambda: Expr("float", "sin({0})", f()),
            lambda: Expr("float", "cos({0})", f()),
            lambda: Expr("float", "abs({0})", f()),
            lambda: Expr("float", "fract({0})", f()),
            lambda: Expr("float", "floor({0})", f()),
            lambda: Expr("float", "ceil({0})", f()),
            lambda: Expr("float", "sign({0})", f()),
            lambda: Expr("float", "min({0}, {1})", f(), f()),
            lambda: Expr("float", "max({0}, {1})", f(), f()),
            lambda: Expr("float", "clamp({0}, -1.0, 1.0)", f()),
            lambda: Expr("float", "mix({0}, {1}, {2})", f(), f(), f()),
            lambda: Expr("float", "smoothstep(-0.5, 0.7, {0})", f()),
            lambda: Expr("float", "step({0}, {1})", f(), f()),
            lambda: Expr("float", "sqrt(abs({0}))", f()),
            lambda: Expr("float", "exp(clamp({0}, -3.0, 1.5))", f()),
            lambda: Expr("float", "exp2(clamp({0}, -3.0, 1.5))", f()),
            lambda: Expr("float", "log(abs({0}) + 0.5)", f()),
            lambda: Expr("float", "pow(abs({0}) + 0.1, %s)" % fmt_float(round(r.uniform(0.3, 2.5), 2)), f()),
            lambda: Expr("float", "inversesqrt(abs({0}) + 0.25)", f()),
            lambda: Expr("float", "({0} / (abs({1}) + 0.5))", f(), f()),
            lambda: Expr("float", "atan({0}, abs({1}) + 0.2)", f(), f()),
            lambda: Expr("float", "atan({0})", f()),
            lambda: Expr("float", "asin(clamp({0}, -0.95, 0.95))", f()),
            lambda: Expr("float", "acos(clamp({0}, -0.95, 0.95))", f()),
            lambda: Expr("float", "tan(clamp({0}, -1.2, 1.2))", f()),
            lambda: Expr("float", "mod({0}, %s)" % fmt_float(round(r.uniform(0.4, 2.0), 2)), f()),
            lambda: Expr("float", "degrees({0}) * 0.01", f()),
            lambda: Expr("float", "radians({0} * 30.0)", f()),
            lambda: Expr("float", "length({0})", v()),
            lambda: Expr("float", "distance({0}, {1})", v(), v()),
            lambda: Expr("float", "dot({0}, {1})", v(), v()),
            lambda: Expr("float", "({0} > {1} ? {2} : {3})", f(), f(), f(), f()),
            lambda: Expr("float", "getFromColor(fract({0})).%s" % r.choice("rgb"), v()),
            lambda: Expr("float", "getToColor(clamp({0}, 0.0, 1.0)).%s" % r.choice("rgb"), v()),
        ]
        if self.functions:
            forms.append(lambda: Expr("float", "%s({0}, {1})" % r.choice(self.functions), f(), v()))
        return r.choice(forms)()

    def vec2_expr(self, depth):
        r = self.r
        if depth <= 0 or r.random() < 0.25:
            return self.leaf("vec2")
        f = lambda: self.float_expr(depth - 1)
        v = lambda: self.vec2_expr(depth - 1)
        forms = [
            lambda: Expr("vec2", "({0} + {1})", v(), v()),
            lambda: Expr("vec2", "({0} * {1})", v(), f()),
            lambda: Expr("vec2", "vec2({0}, {1})", f(), f()),
            lambda: Expr("vec2", "{0}.yx", v()),
            lambda: Expr("vec2", "abs({0})", v()),
            lambda: Expr("vec2", "fract({0})", v()),
            lambda: Expr("vec2", "sin({0})", v()),
            lambda: Expr("vec2", "mix({0}, {1}, {2})", v(), v(), f()),
            lambda: Expr("vec2", "normalize(abs({0}) + vec2(0.2, 0.1))", v()),
            lambda: Expr("vec2", "(mat2(cos({1}), sin({1}), -sin({1}), cos({1})) * {0})", v(), f()),
            lambda: Expr("vec2", "getFromColor(clamp({0}, 0.0, 1.0)).gb", v()),
            lambda: Expr("vec2", "getToColor(fract({0})).rg", v()),
            lambda: Expr("vec2", "clamp({0}, vec2(-1.0), vec2(1.0))", v()),
        ]
        return r.choice(forms)()

    def expr(self, type_, depth):
        return self.float_expr(depth) if type_ == "float" else self.vec2_expr(depth)

    def condition(self, depth):
        return Expr("bool", "{0} %s {1}" % self.r.choice(["<", ">", "<=", ">="]),
                    self.float_expr(depth), self.float_expr(depth))

    def statements(self, count, depth, nest):
        out = []
        for _ in range(count):
            out.append(self.statement(depth, nest))
        return out

    def statement(self, depth, nest):
        r = self.r
        choice = r.random()
        assignable = [n for n in self.visible("float") + self.visible("vec2")
                      if n.startswith("v")]
        if nest > 0 and choice < 0.2:
            self.scope.append({})
            then = self.statements(r.randint(1, 3), depth, nest - 1)
            self.scope.pop()
            self.scope.append({})
            otherwise = self.statements(r.randint(0, 2), depth, nest - 1)
            self.scope.pop()
            return If(self.condition(depth - 1), then, otherwise)
        if nest > 0 and choice < 0.32 and assignable:
            var = self.fresh("i")
            self.loop_vars.append(var)
            self.scope.append({})
            body = self.statements(r.randint(1, 2), depth - 1, nest - 1)
            if r.random() < 0.15:
                body.append(Break(self.condition(1)))
            self.scope.pop()
            self.loop_vars.pop()
            return For(var, r.randint(1, 6), body)
        # Inside a block mostly change outer values: a local that nothing
        # reads is only dead code to the compiler.
        if assignable and (choice < 0.55 or (len(self.scope) > 2 and choice < 0.9)):
            name = r.choice(assignable)
            type_ = "float" if name in self.visible("float") else "vec2"
            op = r.choice(["=", "+=", "*="])
            e = self.expr(type_, depth)
            if op == "*=":
                e = Expr(type_, "clamp({0}, -1.5, 1.5)", e)
            elif op == "+=":
                e = Expr(type_, "clamp({0}, -1.0, 1.0)", e)
            return Assign(name, op, e)
        type_ = r.choice(["float", "float", "vec2"])
        name = self.fresh("v")
        decl = Decl(type_, name, self.expr(type_, depth))
        self.scope[-1].setdefault(type_, []).append(name)
        return decl

    def program(self):
        r = self.r
        p = Program()
        for _ in range(r.randint(0, 2)):
            type_ = r.choice(["float", "vec2"])
            name = self.fresh("u")
            if type_ == "float":
                p.uniforms.append((type_, name, fmt_float(round(r.uniform(-1, 1), 2))))
            else:
                p.uniforms.append((type_, name, "vec2(%s, %s)" % (
                    fmt_float(round(r.uniform(-1, 1), 2)), fmt_float(round(r.uniform(-1, 1), 2)))))
            self.scope[0].setdefault(type_, []).append(name)
        for _ in range(r.randint(0, 2)):
            name = self.fresh("f")
            saved = self.scope
            self.scope = [{"float": ["a"] + [n for t, n, _ in p.uniforms if t == "float"],
                           "vec2": ["p"] + [n for t, n, _ in p.uniforms if t == "vec2"]}]
            body = self.float_expr(3)
            self.scope = saved
            p.functions.append((name, body))
            self.functions.append(name)
        # Every program starts with a few values to work on, so loops and
        # branches have something to change.
        self.scope.append({})
        p.body = [self.statement(3, 0) for _ in range(2)]
        p.body += self.statements(r.randint(2, 6), 3, 2)
        self.scope.pop()
        floats = [n for s in p.body if isinstance(s, Decl) and s.type == "float" for n in [s.name]]
        vecs = [n for s in p.body if isinstance(s, Decl) and s.type == "vec2" for n in [s.name]]
        pick = lambda names, fallback: Expr("float", r.choice(names)) if names else fallback
        a = pick(floats, Expr("float", "uv.x"))
        b = pick(floats, Expr("float", "uv.y"))
        shift = Expr("vec2", r.choice(vecs)) if vecs else Expr("vec2", "uv")
        p.result = Expr(
            "vec4",
            "vec4(clamp(mix(getFromColor(clamp(uv + 0.05 * sin({2}), 0.0, 1.0)).rgb, "
            "getToColor(uv).rgb, clamp(progress + 0.2 * {0}, 0.0, 1.0)) "
            "+ vec3(0.1 * {0}, 0.1 * {1}, 0.05 * ({0} - {1})), 0.0, 1.0), 1.0)",
            a, b, shift)
        return p


def generate(seed):
    return Generator(seed).program()


# Reduction: every smaller variant of a program, largest cuts first. The
# caller keeps the first one that still fails and asks again.
def _stmt_lists(program):
    """Every statement list of the program (the body and nested blocks)."""
    lists = [program.body]
    i = 0
    while i < len(lists):
        for s in lists[i]:
            if isinstance(s, If):
                lists += [s.then, s.otherwise]
            elif isinstance(s, For):
                lists.append(s.body)
        i += 1
    return lists


def _exprs(program):
    """(getter, setter) pairs for every expression slot in the program."""
    slots = []

    def add_expr(holder, attr):
        slots.append((holder, attr))

    def walk_expr(e):
        for i, c in enumerate(e.children):
            slots.append((e.children, i))
            walk_expr(c)

    def walk(stmts):
        for s in stmts:
            if isinstance(s, (Decl, Assign)):
                add_expr(s, "expr")
                walk_expr(s.expr)
            elif isinstance(s, If):
                add_expr(s, "cond")
                walk_expr(s.cond)
                walk(s.then)
                walk(s.otherwise)
            elif isinstance(s, For):
                walk(s.body)
            elif isinstance(s, Break):
                walk_expr(s.cond)

    walk(program.body)
    for i, (name, e) in enumerate(program.functions):
        walk_expr(e)
    walk_expr(program.result)
    return slots


def _get(slot):
    holder, key = slot
    return holder[key] if isinstance(holder, list) else getattr(holder, key)


def _set(slot, value):
    holder, key = slot
    if isinstance(holder, list):
        holder[key] = value
    else:
        setattr(holder, key, value)


def variants(program):
    """Smaller programs, one change each: drop a statement (a declaration
    keeps its name with a constant), take one branch of an if, run a loop
    once, drop a function's body or a uniform's use, replace an expression
    by a child of its type or by a constant."""
    def cloned(change):
        p = copy.deepcopy(program)
        if change(p) is not False:
            return p
        return None

    count_lists = len(_stmt_lists(program))
    for li in range(count_lists):
        for si in range(len(_stmt_lists(program)[li])):
            def drop(p, li=li, si=si):
                stmts = _stmt_lists(p)[li]
                s = stmts[si]
                if isinstance(s, Decl):
                    if s.expr.size() == 1:
                        return False
                    s.expr = lit(0.5) if s.type == "float" else Expr("vec2", "vec2(0.5)")
                else:
                    del stmts[si]
            yield cloned(drop)

            def flatten(p, li=li, si=si):
                stmts = _stmt_lists(p)[li]
                s = stmts[si]
                if isinstance(s, If):
                    stmts[si:si + 1] = s.then
                elif isinstance(s, For) and s.count > 1:
                    s.count = 1
                else:
                    return False
            yield cloned(flatten)

            def other(p, li=li, si=si):
                stmts = _stmt_lists(p)[li]
                s = stmts[si]
                if not isinstance(s, If):
                    return False
                stmts[si:si + 1] = s.otherwise
            yield cloned(other)
    text = program.text()
    for ui, (_, name, _) in enumerate(program.uniforms):
        if text.count(name) == 1:
            def drop_uniform(p, ui=ui):
                del p.uniforms[ui]
            yield cloned(drop_uniform)
    for fi, (name, _) in enumerate(program.functions):
        if text.count(name + "(") == 1:
            def drop_function(p, fi=fi):
                del p.functions[fi]
            yield cloned(drop_function)
    for fi in range(len(program.functions)):
        def constant_function(p, fi=fi):
            name, e = p.functions[fi]
            if e.size() == 1:
                return False
            p.functions[fi] = (name, Expr("float", "a"))
        yield cloned(constant_function)
    slots = len(_exprs(program))
    for k in range(slots):
        e = _get(_exprs(program)[k])
        if e.type not in ("float", "vec2"):
            continue
        for ci, c in enumerate(e.children):
            if c.type == e.type:
                def hoist(p, k=k, ci=ci):
                    slot = _exprs(p)[k]
                    _set(slot, _get(slot).children[ci])
                yield cloned(hoist)
        if e.size() > 1 or not e.fmt.replace(".", "").replace("-", "").isdigit():
            def constant(p, k=k):
                slot = _exprs(p)[k]
                old = _get(slot)
                if old.fmt in ("0.5", "vec2(0.5)"):
                    return False
                _set(slot, lit(0.5) if old.type == "float" else Expr("vec2", "vec2(0.5)"))
            yield cloned(constant)


def reduce(program, still_fails, log=None, budget=400):
    """Greedy reduction: keeps taking the first smaller variant that
    still_fails(text) accepts, until none does or the budget of checks ends."""
    current = program
    checks = 0
    progress = True
    while progress and checks < budget:
        progress = False
        for candidate in variants(current):
            if candidate is None:
                continue
            text = candidate.text()
            if text == current.text():
                continue
            checks += 1
            if still_fails(text):
                current = candidate
                progress = True
                if log:
                    log("reduced to %d lines after %d checks" % (text.count("\n"), checks))
                break
            if checks >= budget:
                break
    return current
