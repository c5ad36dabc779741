#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes javtrg's manual page and its bash completion from the tool's own help.

The help of `javtrg --help` and of each command's `--help` is the one list of
commands and options: the manual page takes its synopsis, its commands, their
options and the exit status from it, and the prose around them from a
template; the completion takes the commands and options. An option added to
the tool is in both the next time the package is built.

Usage: help_pages.py TOOL TEMPLATE CHANGELOG MANUAL_OUT COMPLETION_OUT
       help_pages.py --check TOOL RENDERED_MANUAL
"""
import re
import subprocess
import sys

# The tool's help comes in CLI11's layout: a heading at the left margin
# ending in a colon, entries indented by two spaces with their description
# from column 30 (or on the next line when the names are longer), and notes
# at the left margin.
DESCRIPTION_COLUMN = 30
VALUE_TYPES = re.compile(r"^(TEXT|UINT|INT|FLOAT|NUMBER|PATH|FILE|DIR|ENUM|BOOLEAN)\b")


def run_help(tool, *words):
    result = subprocess.run([tool, *words, "--help"], capture_output=True, text=True,
                            env={"PATH": "/usr/bin:/bin", "LC_ALL": "C"})
    if result.returncode != 0:
        sys.exit(f"help_pages: {tool} {' '.join(words)} --help failed: {result.stderr.strip()}")
    return result.stdout


class Entry:
    """One option, positional or command of a help text."""

    def __init__(self, head):
        self.head = head.strip()
        self.description = ""
        names, _, rest = self.head.partition(" ")
        self.names = names.split(",")
        # What follows the names: the value's type and CLI11's annotations
        # (REQUIRED, Excludes: ..., a range).
        self.rest = rest.strip()
        self.takes_value = bool(VALUE_TYPES.match(self.rest))

    def is_option(self):
        return self.names[0].startswith("-")

    def value_kind(self):
        """What the completion offers for the option's value: dir, file or none."""
        if not self.takes_value:
            return None
        if not self.rest.startswith(("TEXT", "PATH", "FILE", "DIR")):
            return "none"
        words = re.findall(r"[a-z]+", self.description.lower())
        if words[:1] == ["directory"] or self.rest.startswith("DIR"):
            return "dir"
        if {"file", "library"} & set(words):
            return "file"
        return "none"


class Help:
    """A help text taken apart: summary, sections of entries, notes."""

    def __init__(self, text):
        lines = text.rstrip("\n").split("\n")
        self.summary = lines[0].split(": ", 1)[-1] if lines[0].startswith("javtrg: ") else lines[0]
        self.sections = {}
        self.notes = []
        section = None
        entry = None
        for line in lines[1:]:
            if not line.strip() or line.startswith("Usage: "):
                entry = None
                continue
            if not line.startswith(" "):
                if line.endswith(":"):
                    section = line[:-1]
                    self.sections[section] = []
                else:
                    section = None
                    self.notes.append(line)
                entry = None
                continue
            if section is None:
                self.notes[-1] += " " + line.strip()
                continue
            if section == "Usage lines":
                self.sections[section].append(line.strip())
                continue
            if line.startswith(" " * DESCRIPTION_COLUMN) and entry is not None:
                entry.description = (entry.description + " " + line.strip()).strip()
                continue
            # Names never hold two spaces running; the padding before the
            # description does.
            head, _, description = line[2:].partition("  ")
            entry = Entry(head)
            entry.description = description.strip()
            self.sections[section].append(entry)

    def entries(self):
        return [e for name, entries in self.sections.items() if name != "Usage lines" for e in entries]

    def options(self):
        return [e for e in self.entries() if e.is_option()]


def read_helps(tool):
    top = Help(run_help(tool))
    commands = {e.names[0]: Help(run_help(tool, e.names[0])) for e in top.sections.get("Subcommands", [])}
    return top, commands


# ---------------------------------------------------------------- manual page
def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def roff_entry(entry):
    names = ", ".join(f"\\fB{roff(n)}\\fR" for n in entry.names)
    rest = f" \\fI{roff(entry.rest)}\\fR" if entry.rest else ""
    return f".TP\n{names}{rest}\n{roff(entry.description)}\n"


def command_section(name, command):
    out = [f".SS {name}\n", roff(command.summary) + ".\n"]
    for section, entries in command.sections.items():
        if section == "Usage lines" or not entries:
            continue
        out.append(f".PP\n{'Arguments' if section == 'Positionals' else section}:\n")
        out.extend(roff_entry(e) for e in entries)
    for note in command.notes:
        if not note.startswith("Exit status:"):
            out.append(f".PP\n{roff(note)}\n")
    return "".join(out)


def release_date(changelog):
    """The date of the newest changelog entry, as YYYY-MM-DD."""
    import email.utils
    with open(changelog, encoding="utf-8") as f:
        for line in f:
            if line.startswith(" -- "):
                stamp = line.split(">", 1)[1].strip()
                return email.utils.parsedate_to_datetime(stamp).strftime("%Y-%m-%d")
    sys.exit(f"help_pages: no dated entry in {changelog}")


def manual_page(top, commands, template, date):
    exit_notes = [n for n in top.notes if n.startswith("Exit status:")]
    exit_status = exit_notes[0].split(":", 1)[1].strip() if exit_notes else ""
    synopsis = "".join(f".br\n{roff(u)}\n" for u in top.sections.get("Usage lines", []))
    values = {
        "@SUMMARY@": roff(top.summary),
        "@DATE@": date,
        "@SYNOPSIS@": synopsis.removeprefix(".br\n"),
        "@OPTIONS@": "".join(roff_entry(e) for e in top.options()).rstrip("\n"),
        "@COMMANDS@": "".join(command_section(n, c) for n, c in commands.items()).rstrip("\n"),
        "@EXIT_STATUS@": roff(exit_status),
    }
    page = template
    for key, value in values.items():
        page = page.replace(key, value)
    leftover = re.search(r"@[A-Z_]+@", page)
    if leftover:
        sys.exit(f"help_pages: the template names {leftover.group(0)}, which nothing fills")
    return page


# ---------------------------------------------------------------- completion
def shell_words(words):
    return " ".join(sorted(set(words)))


def completion(top, commands):
    top_options = {n: e for e in top.options() for n in e.names}
    cases = []
    for name, command in sorted(commands.items()):
        options = command.options()
        # Options of the tool that a command's notes say may follow it.
        for note in command.notes:
            for word in re.findall(r"--[a-z][a-z-]*", note):
                if word in top_options and top_options[word] not in options:
                    options.append(top_options[word])
        cases.append((name, options))
    cases.append(("", [e for e in top.options()]))

    lines = [
        "# bash completion for javtrg: its commands, their options, and files,",
        "# or directories, where an option or a command takes one.",
        "# Written from the tool's --help when the package is built.",
        "_javtrg() {",
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}",
        "    local command='' i options dirs files values",
        "    for ((i = 1; i < COMP_CWORD; i++)); do",
        f"        case ${{COMP_WORDS[i]}} in {'|'.join(sorted(commands))}) command=${{COMP_WORDS[i]}}; break ;; esac",
        "    done",
        "    case $command in",
    ]
    for name, options in cases:
        def names(kind):
            return shell_words(n for e in options if e.value_kind() == kind for n in e.names)
        lines += [
            f"    {name or '*'})",
            f"        options='{shell_words(n for e in options for n in e.names if n.startswith('--'))}'",
            f"        dirs='{names('dir')}' files='{names('file')}' values='{names('none')}' ;;",
        ]
    lines += [
        "    esac",
        "    case \" $dirs \" in *\" $prev \"*) COMPREPLY=($(compgen -d -- \"$cur\")); return ;; esac",
        "    case \" $files \" in *\" $prev \"*) COMPREPLY=($(compgen -f -- \"$cur\")); return ;; esac",
        "    case \" $values \" in *\" $prev \"*) COMPREPLY=(); return ;; esac",
        "    if [[ $cur == -* ]]; then",
        "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))",
        "    elif [[ -z $command ]]; then",
        f"        COMPREPLY=($(compgen -W '{shell_words(commands)}' -- \"$cur\"))",
        "    else",
        "        COMPREPLY=($(compgen -f -- \"$cur\"))",
        "    fi",
        "}",
        "complete -o filenames -F _javtrg javtrg",
    ]
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------- check
def check(tool, rendered):
    """Every option, command and usage line of the help is in the rendered page."""
    top, commands = read_helps(tool)
    with open(rendered, encoding="utf-8") as f:
        page = re.sub(r"\s+", " ", f.read())
    wanted = [n for e in top.options() for n in e.names] + list(commands)
    wanted += top.sections.get("Usage lines", [])
    for name, command in commands.items():
        wanted += [f"{n}" for e in command.options() for n in e.names]
    missing = [w for w in wanted if not re.search(r"(^|[\s,\[])" + re.escape(w) + r"($|[\s,.\]])", page)]
    if missing:
        sys.exit("the manual page lacks what --help lists: " + ", ".join(missing))


def main(argv):
    if len(argv) == 3 and argv[0] == "--check":
        check(argv[1], argv[2])
        return
    if len(argv) != 5:
        sys.exit(__doc__.split("\n\n")[-1])
    tool, template_path, changelog, manual_out, completion_out = argv
    top, commands = read_helps(tool)
    with open(template_path, encoding="utf-8") as f:
        template = f.read()
    with open(manual_out, "w", encoding="utf-8") as f:
        f.write(manual_page(top, commands, template, release_date(changelog)))
    with open(completion_out, "w", encoding="utf-8") as f:
        f.write(completion(top, commands))


if __name__ == "__main__":
    main(sys.argv[1:])
