"""The status-line texts of a run, per family, as patterns for the e2e
checks: CYLINDER[family] matches a cylinder's line (groups: cylinder, speed,
minimum, maximum), SUMMARY[family] the summary (groups: cylinders, ms,
minimum, effective, average, maximum)."""
import re

CYLINDER = {
    "9x": re.compile(r"^栈道  (\d+)\. 速度  (\d+) kB/s\. 最低速度  (\d+), 最高速度  (\d+)\.$"),
    "nt": re.compile(r"^Track (\d+)\. Speed (\d+) kB/s\. Min speed (\d+), max speed (\d+)\.$"),
}
SUMMARY = {
    "9x": re.compile(r"^读取 (\d+) 栈道用了   (\d+) ms\. Speed <min/eff/avr/max> (\d+)/(\d+)/(\d+)/(\d+) kB/s\.$"),
    "nt": re.compile(r"^Read (\d+) tracks for (\d+) ms\. Speed <min/eff/avr/max> (\d+)/(\d+)/(\d+)/(\d+) kB/s\.$"),
}
