#!/usr/bin/env python3
"""Writes csv_sales.csv into the current folder (see gen_csv_split.py)."""
import os
import runpy

runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "gen_csv_split.py"),
               run_name="__main__")
