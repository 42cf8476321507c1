#!/usr/bin/python3
"""Writes mail/nmail/HtmlEntities.cpp: every named character reference of HTML (the table Python's
html.entities module carries), those that end in ";", sorted for a binary search. Run it again
with /usr/bin/python3 when the table is to be renewed; the result is committed."""

import html.entities
import os

HERE = os.path.dirname(os.path.abspath(__file__))
TARGET = os.path.join(HERE, "..", "mail", "nmail", "HtmlEntities.cpp")


def c_string(text):
    return '"' + "".join("\\x%02x" % b if b < 0x20 or b >= 0x7F or b in b'"\\?' else chr(b)
                         for b in text.encode("utf-8")) + '"'


names = sorted((name[:-1] for name in html.entities.html5 if name.endswith(";")), key=lambda n: n.encode())
with open(TARGET, "w", encoding="utf-8") as out:
    out.write("// Written by scripts/generate-html-entities.py; do not edit by hand.\n\n")
    out.write('#include "HtmlEntities.h"\n\n#include <algorithm>\n#include <array>\n\nnamespace {\n\n')
    out.write("struct Entity {\n    std::string_view name;\n    std::string_view text; // UTF-8\n};\n\n")
    out.write("constexpr std::array<Entity, %d> Entities {{\n" % len(names))
    for name in names:
        # A string literal split after each hex escape, so a following hex digit stays a character of its own.
        text = c_string(html.entities.html5[name + ";"]).replace('\\x', '" "\\x').replace('"" ', '')
        out.write("    {\"%s\", %s},\n" % (name, text))
    out.write("}};\n\n} // namespace\n\nnamespace HtmlEntities {\n\n")
    out.write("std::string_view text(std::string_view name)\n{\n")
    out.write("    const auto found = std::lower_bound(Entities.begin(), Entities.end(), name,\n")
    out.write("        [](const Entity& entity, std::string_view wanted) { return entity.name < wanted; });\n")
    out.write("    return found != Entities.end() && found->name == name ? found->text : std::string_view();\n}\n\n")
    out.write("} // namespace HtmlEntities\n")
