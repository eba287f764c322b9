"""Benchmarks of quarvex: speed, scaling, memory and packing quality, beside py3dbp."""
