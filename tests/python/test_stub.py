"""The type stub must describe the built module: same names, same members,
same parameter names and the same parameters with defaults."""

import ast
import re
from pathlib import Path

import pytest

import quarvex

STUB = ast.parse((Path(__file__).parents[2] / "src" / "quarvex" / "python" / "quarvex.pyi").read_text())
STUB_CLASSES = {node.name: node for node in STUB.body if isinstance(node, ast.ClassDef)}
STUB_FUNCTIONS = {node.name: node for node in STUB.body if isinstance(node, ast.FunctionDef)}

# Attributes every pybind11 class carries that are no part of the API.
BINDING_PLUMBING = {"__doc__", "__module__", "_pybind11_conduit_v1_", "__entries"}


def runtime_members(cls):
    members = set(vars(cls)) - BINDING_PLUMBING
    init = vars(cls).get("__init__")
    if init is not None and not (init.__doc__ or "").startswith("__init__("):
        members.discard("__init__")  # the stand-in of a class without a constructor
    return members


def stub_members(node):
    members = set()
    for child in node.body:
        if isinstance(child, ast.FunctionDef):
            members.add(child.name)
        elif isinstance(child, ast.AnnAssign):
            members.add(child.target.id)
    return members


def split_parameters(text):
    """Splits a pybind11 parameter list at top-level commas."""
    parts, depth, current = [], 0, ""
    for char in text:
        if char in "[(<":
            depth += 1
        elif char in "])>":
            depth -= 1
        if char == "," and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += char
    if current.strip():
        parts.append(current.strip())
    return parts


def runtime_parameters(function):
    """(name, has default) of each parameter, from the first signature pybind11 wrote."""
    name = function.__name__
    match = re.search(rf"^(?:\d+\. )?{re.escape(name)}\((.*)\) -> ", function.__doc__, re.MULTILINE)
    assert match, f"no signature for {name}"
    parameters = []
    for part in split_parameters(match.group(1)):
        parameter = part.split(":")[0].split("=")[0].strip()
        if parameter not in ("self", "/", "*"):
            parameters.append((parameter, "=" in part))
    return parameters


def stub_parameters(node):
    arguments = node.args.posonlyargs + node.args.args
    defaults = [False] * (len(arguments) - len(node.args.defaults)) + [True] * len(node.args.defaults)
    return [(arg.arg, default) for arg, default in zip(arguments, defaults) if arg.arg != "self"]


def test_public_names_match():
    runtime = {name for name in vars(quarvex) if not name.startswith("_")}
    stubbed = {name for name in {*STUB_CLASSES, *STUB_FUNCTIONS} if not name.startswith("_")}
    assert stubbed == runtime


@pytest.mark.parametrize("name", sorted(STUB_CLASSES))
def test_class_members_match(name):
    assert stub_members(STUB_CLASSES[name]) == runtime_members(getattr(quarvex, name))


@pytest.mark.parametrize(
    "name",
    sorted(
        [*STUB_FUNCTIONS]
        + [f"{cls}.{member.name}" for cls, node in STUB_CLASSES.items() for member in node.body
           if isinstance(member, ast.FunctionDef)]
    ),
)
def test_signatures_match(name):
    owner, _, member = name.rpartition(".")
    node = STUB_FUNCTIONS[name] if not owner else next(
        child for child in STUB_CLASSES[owner].body if isinstance(child, ast.FunctionDef) and child.name == member
    )
    runtime = getattr(getattr(quarvex, owner), member) if owner else getattr(quarvex, name)
    is_property = any(isinstance(d, ast.Name) and d.id == "property" for d in node.decorator_list)
    if is_property:
        assert isinstance(runtime, property), f"{name} is not a property"
        assert runtime.fset is None, f"{name} is writable"
        return
    assert stub_parameters(node) == runtime_parameters(runtime)
