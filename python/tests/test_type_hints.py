"""The type hints name exactly what the module has."""
import ast
import pathlib

import probe_tools

STUB = pathlib.Path(__file__).resolve().parents[1] / "probe_tools.pyi"


def names(body):
    found = set()
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            found.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            found.add(node.target.id)
    return {n for n in found if not n.startswith("_") or n in ("__len__", "__enter__", "__exit__")}


def test_stub_names_match_the_module():
    tree = ast.parse(STUB.read_text())
    public = {n for n in dir(probe_tools) if not n.startswith("_")}
    assert names(tree.body) == public
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            cls = getattr(probe_tools, node.name)
            if issubclass(cls, BaseException):
                continue  # their members are the built-in exceptions' and per instance
            members = {n for n in dir(cls) if not n.startswith("_")}
            assert names(node.body) - {"__len__", "__enter__", "__exit__", "__eq__"} <= members
            assert members <= names(node.body), f"{node.name}: not in the stub"
