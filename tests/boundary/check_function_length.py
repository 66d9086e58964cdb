#!/usr/bin/env python3
"""Checks that no function in the given folders is longer than a limit.

A function's length counts the lines from the one holding its body's opening
brace to the one holding the closing brace, both included. Functions are found
by a small C++ reader, not by braces in the first column: comments, string
and character literals (raw strings too) and preprocessor lines are skipped,
and each opening brace is classified by what leads up to it within its scope.
A brace that follows a parameter list (with any qualifiers, a trailing return
type or a constructor's initialiser list after it) opens a function body,
whatever its indentation: free functions, member functions defined in a class,
lambdas at namespace or class scope. Braces of namespaces, classes, enums and
initialisers open scopes that are searched further. Everything inside a
function body, lambdas and local classes included, counts as part of that
function.

Usage: check_function_length.py [--max-lines N] SOURCE_DIR FOLDER...
"""
import argparse
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".cpp", ".h.in")
TOKEN = re.compile(r"[A-Za-z_]\w*|::|->|\d[\w.']*|\S")
SCOPE_KEYWORDS = {"namespace", "class", "struct", "union", "enum", "extern"}
# Words that may stand between a parameter list's ')' and a body's '{'.
ACCESS = {"public", "private", "protected"}
QUALIFIERS = {"const", "volatile", "noexcept", "override", "final", "mutable", "constexpr", "try", "&", "&&"}


def strip_code(text):
    """The text with comments, literals and preprocessor lines blanked out, line
    breaks kept, so that every remaining brace is the code's own."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            # A directive, with its continuation lines.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append("\n")
                    i += 2
                    continue
                i += 1
            continue
        if c == "\n":
            out.append(c)
            line_start = True
            i += 1
            continue
        if c in " \t":
            out.append(c)
            i += 1
            continue
        line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
            continue
        raw = re.match(r'(?:u8|[uUL])?R"([^()\\\s]{0,16})\(', text[i:])
        if raw and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            end = text.find(")" + raw.group(1) + '"', i + raw.end())
            end = n if end < 0 else end + len(raw.group(1)) + 2
            out.append(" 0 " + "\n" * text.count("\n", i, end))
            i = end
            continue
        if c in "\"'":
            # A digit separator (1'000'000) is no character literal.
            if c == "'" and i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum():
                out.append(" ")
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(" 0 ")
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def tokens_of(code):
    """(token, line) pairs."""
    result = []
    for number, line in enumerate(code.split("\n"), start=1):
        for match in TOKEN.finditer(line):
            result.append((match.group(0), number))
    return result


def matching_open(tokens, close, opener, closer):
    """Index of the bracket that opens the group closed at `close`, or -1."""
    depth = 0
    for k in range(close, -1, -1):
        if tokens[k][0] == closer:
            depth += 1
        elif tokens[k][0] == opener:
            depth -= 1
            if depth == 0:
                return k
    return -1


def is_word(token):
    return re.match(r"[A-Za-z_~]\w*$", token) is not None


def function_name(tokens, paren):
    """The name before a parameter list: `Name`, `Class::Name`, `operator()`."""
    k = paren - 1
    if tokens[k][0] == "]":
        return "lambda"
    if any(tokens[j][0] == "operator" for j in range(max(k - 3, 0), k + 1)):
        j = k
        while tokens[j][0] != "operator":
            j -= 1
        parts = [t for t, _ in tokens[j:paren]]
        k = j - 1
    else:
        if tokens[k][0] == ">":  # Name<Args>(...)
            k = matching_open(tokens, k, "<", ">") - 1
        parts = [tokens[k][0]]
        k -= 1
    while k >= 1 and tokens[k][0] == "::" and is_word(tokens[k - 1][0]):
        parts.insert(0, tokens[k - 1][0] + "::")
        k -= 2
    return "".join(parts)


def initialiser_start(tokens, start, separator):
    """When the ':' or ',' at `separator` is part of a constructor's
    initialiser list, the index of the parameter list's ')' before it; else -1."""
    k = separator
    while k > start:
        word = tokens[k][0]
        if word == ":":
            return k - 1 if tokens[k - 1][0] == ")" or tokens[k - 1][0] in QUALIFIERS else -1
        if word != ",":
            return -1
        # The entry before the comma: name(...) or name{...}.
        close = k - 1
        if tokens[close][0] not in (")", "}"):
            return -1
        opener = matching_open(tokens, close, "(" if tokens[close][0] == ")" else "{", tokens[close][0])
        if opener - 1 <= start or not is_word(tokens[opener - 1][0]):
            return -1
        k = opener - 2
    return -1


def parameter_list_before(tokens, start, brace):
    """The ')' that closes a function's parameter list when the '{' at `brace`
    opens its body (or -1), and whether it is a lambda's capture list instead."""
    k = brace - 1
    while k >= start:
        word = tokens[k][0]
        if word in QUALIFIERS:
            k -= 1
            continue
        if word == "]":
            return k, True
        if word in (")", "}"):
            opener = matching_open(tokens, k, "(" if word == ")" else "{", word)
            if opener <= start:
                return (k if word == ")" and opener == start else -1), False
            before = tokens[opener - 1][0]
            if before in ("noexcept", "requires", "decltype", "alignas") and word == ")":
                if before == "requires":
                    return -1, False
                k = opener - 2
                continue
            # An entry of a constructor's initialiser list: name(...) or name{...}.
            if is_word(before) and opener - 2 >= start and tokens[opener - 2][0] in (":", ","):
                params = initialiser_start(tokens, start, opener - 2)
                if params >= 0:
                    k = params
                    continue
            return (k if word == ")" else -1), False
        # A trailing return type: walk back to its arrow.
        j = k
        while j >= start and (is_word(tokens[j][0]) or tokens[j][0] in ("::", "<", ">", "*", "&", ",")):
            j -= 1
        if j >= start and tokens[j][0] == "->":
            k = j - 1
            continue
        return -1, False
    return -1, False


def classify(tokens, start, brace):
    """What the '{' at `brace` opens, from the tokens since the last statement
    or scope boundary (`start`): ("function", name), ("scope", None) or
    ("data", None)."""
    while start < brace and tokens[start][0] == "template":
        k = start + 1
        depth = 0
        while k < brace:
            depth += {"<": 1, ">": -1}.get(tokens[k][0], 0)
            k += 1
            if depth == 0:
                break
        start = k
    head = [t for t, _ in tokens[start:brace]]
    if not head:
        return "data", None
    if head[0] == "extern" or (head[0] in SCOPE_KEYWORDS and "(" not in head):
        return "scope", None
    close, lambda_ = parameter_list_before(tokens, start, brace)
    if lambda_:
        return "function", "lambda"
    if close < 0:
        return "data", None
    opener = matching_open(tokens, close, "(", ")")
    before = tokens[opener - 1][0] if opener > start else ""
    near_operator = any(tokens[j][0] == "operator" for j in range(max(opener - 4, start), opener))
    if before == "]":
        return "function", "lambda"
    if is_word(before) or before == ">" or near_operator:
        return "function", function_name(tokens, opener)
    return "data", None


def functions_in(text):
    """(name, first line, last line) of every function body in the text."""
    tokens = tokens_of(strip_code(text))
    found = []
    # Open braces: what each opens, where its current statement began and how
    # many parentheses are open in it (for scopes), the function's name and
    # the brace's line.
    stack = [["scope", 0, 0, None, 0]]
    for index, (word, line) in enumerate(tokens):
        top = stack[-1]
        if word in "()" and top[0] == "scope":
            top[2] += 1 if word == "(" else -1
        elif word == "{":
            if top[0] == "scope" and top[2] == 0:
                kind, name = classify(tokens, top[1], index)
            else:  # within a function, an initialiser, or a default argument
                kind, name = "inner", None
            stack.append([kind, index + 1, 0, name, line])
        elif word == "}":
            if len(stack) > 1:
                kind, _, _, name, first = stack.pop()
                if kind == "function":
                    found.append((name, first, line))
            if stack[-1][2] == 0:
                stack[-1][1] = index + 1
        elif top[0] == "scope" and (word == ";" or (word == ":" and tokens[index - 1][0] in ACCESS)):
            top[1] = index + 1
            top[2] = 0
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--max-lines", type=int, default=60)
    parser.add_argument("root")
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()
    long_ones = []
    counted = 0
    for folder in args.folders:
        for dirpath, _, files in sorted(os.walk(os.path.join(args.root, folder))):
            for file in sorted(files):
                if not file.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, file)
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                for name, first, last in functions_in(text):
                    counted += 1
                    lines = last - first + 1
                    if lines > args.max_lines:
                        long_ones.append((os.path.relpath(path, args.root), first, name, lines))
    if counted == 0:
        print("no function found: the folders hold no C++ sources, or the reader is broken")
        return 1
    for path, first, name, lines in sorted(long_ones):
        print(f"{path}:{first}: {name} is {lines} lines long")
    print(f"{len(long_ones)} of {counted} functions are longer than {args.max_lines} lines"
          if long_ones else f"none of {counted} functions is longer than {args.max_lines} lines")
    return 1 if long_ones else 0


if __name__ == "__main__":
    sys.exit(main())
