# re: a global substitution and findall over a subject of n characters; the time per character
# should not grow with the subject.
import re

from timing import measure


def main(n):
    subject = "word123 " * (n // 8)
    pattern = re.compile(r"\d+")
    replaced = pattern.sub("#", subject)
    matches = pattern.findall(subject)
    return len(replaced) + len(matches)


measure(main)
